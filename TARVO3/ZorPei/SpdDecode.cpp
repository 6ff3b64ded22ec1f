/** @file
  SPD decode and timing derivation: checks a channel's staged SPD bytes,
  describes the DIMM in DDR_DIMM (organisation, SPD timings in picoseconds)
  and derives every DRAM timing the controller and the PHY need in DDR_CLOCKS
  (clock cycles at the one DRAM clock of 1325 MHz).

  SPD byte numbers, fields and units are those of the JEDEC DDR4 SPD
  standard. Only bytes 0 to 255 are read: the two CRC blocks and the
  registered-DIMM section of block 1.
**/
#include "DdrSetup.h"

//
// Time bases of the SPD: the medium time base (MTB) is 125 ps, the fine
// correction bytes count signed picoseconds. The time-base byte (17) is not
// read: every DDR4 SPD uses these.
//
constexpr UINT32  SPD_MTB_PS = 125;

//
// The longest tCKAVGmin that still runs at the 1325 MHz clock (DDR4-2666
// gives 750 ps).
//
constexpr UINT32  DDR4_2666_TCK_PS = 754;

constexpr UINT32  SPD_BLOCK_BYTES = 126;
constexpr UINT8   SPD_DDR4_SDRAM  = 0x0C;
constexpr UINT8   SPD_RDIMM       = 1;
constexpr UINT8   SPD_ECC_8_BITS  = 1;

//
// Capacity of one die in Mbit, by the code in byte 4 bits 3:0. Codes 10 to
// 15 are reserved; their 0 makes the capacity 0, so such a DIMM is listed
// and then dropped.
//
STATIC constexpr UINT32  SPD_DIE_MBIT[] = {
  256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 12288, 24576, 0, 0, 0, 0, 0, 0
};
STATIC_ASSERT (sizeof (SPD_DIE_MBIT) / sizeof (SPD_DIE_MBIT[0]) == 16, "one entry per 4-bit code");

//
// Fixed DRAM timings at 1325 MHz, in clock cycles unless noted. The DIMM
// runs with CAS latency 19 and CAS write latency 18, no additive latency.
//
constexpr UINT32  DDR_CL          = 19;
constexpr UINT32  DDR_CWL         = 18;
constexpr UINT32  DDR_TCCD_S      = 4;
constexpr UINT32  DDR_TDLLK       = 854;
constexpr UINT32  DDR_TMRD        = 8;
constexpr UINT32  DDR_TZQINIT     = 1024;
constexpr UINT32  DDR_TMPX_LH     = 2;
constexpr UINT32  DDR_TWLMRD      = 40;
constexpr UINT32  DDR_TCPDED      = 4;
constexpr UINT32  DDR_TCMDCKE     = 1;
constexpr UINT32  DDR_TGEAR       = 2;
constexpr UINT32  DDR_TREFI_PS    = 7800000;    ///< 7.8 us refresh interval
constexpr UINT32  DDR_TSTAB_PS    = 5000000;    ///< 5 us clock stabilisation
constexpr UINT32  DDR_TRESET_PS   = 200000000;  ///< 200 us RESET_n low
constexpr UINT32  DDR_TXS_EXTRA_PS = 10000;     ///< tXS = tRFC + 10 ns

///
/// Both rounding branches are computed in 32 bits. Up to 1 us the product
/// ps * 1325 fits; beyond it the time is rounded up to whole nanoseconds
/// first, which keeps the product inside 32 bits up to about 3.2 ms (the
/// longest time converted anywhere is 500 us).
///
UINT32
psToClocks (
  UINT32  ps
  )
{
  if (ps <= 1000000) {
    return (ps * DDR_CLOCK_MHZ + 999999) / 1000000;
  }

  return ((ps + 999) / 1000 * DDR_CLOCK_MHZ + 999) / 1000;
}

///
/// Bit by bit, without a table: the CRC runs once per channel and bring-up.
///
UINT16
spdCrc (
  CONST UINT8  *bytes
  )
{
  UINT32  crc = 0;

  for (UINT32 i = 0; i < SPD_BLOCK_BYTES; i++) {
    crc ^= (UINT32)bytes[i] << 8;
    for (UINT32 bit = 0; bit < 8; bit++) {
      if ((crc & 0x8000) != 0) {
        crc = ((crc << 1) ^ 0x1021) & 0xFFFF;
      } else {
        crc = (crc << 1) & 0xFFFF;
      }
    }
  }

  return (UINT16)crc;
}

//
// A time in medium time base units, in picoseconds.
//
STATIC
UINT32
mtbPs (
  UINT32  units
  )
{
  return units * SPD_MTB_PS;
}

//
// A time given as a count of medium time base units plus a signed fine
// correction byte, in picoseconds (32-bit arithmetic: the fine byte is added
// in two's complement).
//
STATIC
UINT32
mtbFinePs (
  UINT32  units,
  UINT8   fine
  )
{
  return mtbPs (units) + (UINT32)(INT32)(INT8)fine;
}

//
// A register output drive-strength control word from its SPD byte: the SPD
// keeps the two 2-bit fields in the opposite order.
//
STATIC
UINT8
driveStrengthCode (
  UINT8  b
  )
{
  return (UINT8)(((b & 3) << 2) | ((b >> 2) & 3));
}

//
// Twice the clock frequency in MHz of a clock period in picoseconds: the
// data rate in MT/s (750 ps gives 2666). A period of 0 gives 0.
//
STATIC
UINT32
dataRate (
  UINT32  ps
  )
{
  return (ps == 0) ? 0 : 2000000 / ps;
}

STATIC
UINT32
max32 (
  UINT32  a,
  UINT32  b
  )
{
  return (a > b) ? a : b;
}

STATIC
VOID
printListing (
  UINT32            rail,
  UINT32            chan,
  UINT64            capacity,
  CONST DDR_DIMM    *dimm,
  CONST DDR_CLOCKS  *clocks
  )
{
  UINT32  gigabytes = (UINT32)RShiftU64 (capacity, 30);

  //
  // A 3DS DIMM counts its logical ranks: package ranks times dies.
  //
  if (dimm->stacks == 4) {
    DEBUG ((DEBUG_INFO, "Rail %u Channel %u %uGB RDIMM %uRx%u 3DS 4H\n", rail, chan, gigabytes, dimm->ranks * 4, dimm->width));
  } else if (dimm->stacks == 2) {
    DEBUG ((DEBUG_INFO, "Rail %u Channel %u %uGB RDIMM %uRx%u 3DS 2H\n", rail, chan, gigabytes, dimm->ranks * 2, dimm->width));
  } else {
    DEBUG ((DEBUG_INFO, "Rail %u Channel %u %uGB RDIMM %uRx%u\n", rail, chan, gigabytes, dimm->ranks, dimm->width));
  }

  DEBUG ((DEBUG_INFO, "Rail %u Channel %u DIMM SPD data:\n", rail, chan));
  DEBUG ((DEBUG_INFO, "- %u Columns and %u Rows \n", dimm->columns, dimm->rows));
  DEBUG ((DEBUG_INFO, "- Dimm RC5 %u Dimm RC4 %u DIMM RC3 %u \n", dimm->RC5, dimm->RC4, dimm->RC3));
  DEBUG ((
    DEBUG_INFO,
    "- RDIMM=%u LRDIMM=%u mirroring=%u ECC=%u width=%u ranks=%u pagesize=%u stacks=%u\n",
    dimm->RDIMM,
    dimm->LRDIMM,
    dimm->mirroring,
    dimm->ECC,
    dimm->width,
    dimm->ranks,
    dimm->pagesize,
    dimm->stacks
    ));
  DEBUG ((DEBUG_INFO, "- CAS latency (CL) %u, CAS write latency (CWL) %u, Additional latency (AL) %u\n", clocks->CL, clocks->CWL, clocks->AL));
  DEBUG ((DEBUG_INFO, "- tCK %ups %ut\n", DDR4_2666_TCK_PS, psToClocks (DDR4_2666_TCK_PS)));
  DEBUG ((DEBUG_INFO, "- tCKAVG %ups -> max frequency %uMHz\n", dimm->tCKAVG, dataRate (dimm->tCKAVG)));
  DEBUG ((DEBUG_INFO, "- tCKAVG_max %ups -> min frequency %uMHz\n", dimm->tCKAVG_max, dataRate (dimm->tCKAVG_max)));
  DEBUG ((DEBUG_INFO, "- tAA %ups\n", dimm->tAA));
  DEBUG ((DEBUG_INFO, "- tRCD %ups %ut\n", dimm->tRCD, clocks->tRCD));
  DEBUG ((DEBUG_INFO, "- tRP %ups %ut\n", dimm->tRP, clocks->tRP));
  DEBUG ((DEBUG_INFO, "- tRAS %ups %ut, tRAS_max %ut\n", dimm->tRAS, clocks->tRAS, clocks->tRAS_max));
  DEBUG ((DEBUG_INFO, "- tRC %ups %ut\n", dimm->tRC, clocks->tRC));
  DEBUG ((DEBUG_INFO, "- tRFC %ups %ut, tRFC_max %ut\n", dimm->tRFC, clocks->tRFC, clocks->tRFC_max));
  DEBUG ((DEBUG_INFO, "- tREFI %ut\n", clocks->tREFI));
  DEBUG ((DEBUG_INFO, "- tFAW %ups %ut\n", dimm->tFAW, clocks->tFAW));
  DEBUG ((DEBUG_INFO, "- tRRD_S %ups %ut, tRRD_L %ups %ut\n", dimm->tRRD_S, clocks->tRRD_S, dimm->tRRD_L, clocks->tRRD_L));
  DEBUG ((DEBUG_INFO, "- tCCD_L %ups %ut, tCCD_S %ut\n", dimm->tCCD_L, clocks->tCCD_L, clocks->tCCD_S));
  DEBUG ((DEBUG_INFO, "- tWR %ups %ut\n", dimm->tWR, clocks->tWR));
  DEBUG ((DEBUG_INFO, "- tWTR_S %ups %ut, tWTR_L %ups %ut\n", dimm->tWTR_S, clocks->tWTR_S, dimm->tWTR_L, clocks->tWTR_L));
  DEBUG ((DEBUG_INFO, "- tRTP %ut\n", clocks->tRTP));
  DEBUG ((DEBUG_INFO, "- tDLLK %ut\n", clocks->tDLLK));
  DEBUG ((DEBUG_INFO, "- tMRD %ut, tMRD_PDA %ut\n", clocks->tMRD, clocks->tMRD_PDA));
  DEBUG ((DEBUG_INFO, "- tCKMPE %ut\n", clocks->tCKMPE));
  DEBUG ((DEBUG_INFO, "- tZQinit %ut\n", clocks->tZQinit));
  DEBUG ((DEBUG_INFO, "- tDQSCK %ut, tDQSCK_max %ut\n", clocks->tDQSCK, clocks->tDQSCK_max));
  DEBUG ((DEBUG_INFO, "- tXS %ut, tXSDLL %ut\n", clocks->tXS, clocks->tXSDLL));
  DEBUG ((DEBUG_INFO, "- tXMP %ut, tXMPDLL %ut\n", clocks->tXMP, clocks->tXMPDLL));
  DEBUG ((DEBUG_INFO, "- tMPX_S %ut, tMPX_LH %ut\n", clocks->tMPX_S, clocks->tMPX_LH));
  DEBUG ((DEBUG_INFO, "- tXP %ut\n", clocks->tXP));
  DEBUG ((DEBUG_INFO, "- tCKE %ut\n", clocks->tCKE));
  DEBUG ((DEBUG_INFO, "- tWLO %ut\n", clocks->tWLO));
  DEBUG ((DEBUG_INFO, "- tWLMRD %ut\n", clocks->tWLMRD));
  DEBUG ((DEBUG_INFO, "- tCPDED %ut\n", clocks->tCPDED));
  DEBUG ((DEBUG_INFO, "- tCMDCKE %ut\n", clocks->tCMDCKE));
  DEBUG ((DEBUG_INFO, "- tGEAR_setup %ut, tGEAR_hold %ut\n", clocks->tGEAR_setup, clocks->tGEAR_hold));
  DEBUG ((DEBUG_INFO, "- tSRX %ut\n", clocks->tSRX));
  DEBUG ((DEBUG_INFO, "- tAL %ut\n", clocks->tAL));
  DEBUG ((DEBUG_INFO, "- tSTAB %u\n", clocks->tSTAB));
  DEBUG ((DEBUG_INFO, "- tRESET_low %ut\n", clocks->tRESET_low));
  DEBUG ((DEBUG_INFO, "- tMOD %ut\n", clocks->tMOD));
  DEBUG ((DEBUG_INFO, "- tRTODT %ut\n", clocks->tRTODT));
}

//
// The DRAM timings of one channel, in clock cycles at 1325 MHz, from the
// DIMM's SPD timings and the fixed DDR4 values. tRP and tRCD come first: a
// DIMM that needs fewer than 12 clocks for either cannot be programmed into
// the controller, a programming error of the table rather than a bad DIMM.
//
STATIC
VOID
deriveClocks (
  CONST DDR_DIMM  *dimm,
  DDR_CLOCKS      *clocks
  )
{
  clocks->tRP = psToClocks (dimm->tRP);
  FATAL_CHECK (clocks->tRP >= 12);
  clocks->tRCD = psToClocks (dimm->tRCD);
  FATAL_CHECK (clocks->tRCD >= 12);

  clocks->CL    = DDR_CL;
  clocks->CWL   = DDR_CWL;
  clocks->AL    = 0;
  clocks->WL    = DDR_CWL;
  clocks->RL    = DDR_CL;
  clocks->tRAS  = psToClocks (dimm->tRAS);
  clocks->tREFI = psToClocks (DDR_TREFI_PS);
  clocks->tRAS_max = 9 * clocks->tREFI;
  clocks->tRC   = psToClocks (dimm->tRC);
  //
  // tRFC is programmed with the self-refresh exit time tXS = tRFC1 + 10 ns,
  // not with tRFC1 itself: the margin covers every refresh mode.
  //
  clocks->tRFC     = psToClocks (dimm->tRFC + DDR_TXS_EXTRA_PS);
  clocks->tRFC_max = 9 * clocks->tREFI;
  clocks->tFAW     = psToClocks (dimm->tFAW);
  clocks->tRRD_L   = psToClocks (dimm->tRRD_L);
  clocks->tRRD_S   = psToClocks (dimm->tRRD_S);
  clocks->tCCD_S   = DDR_TCCD_S;
  clocks->tCCD_L   = psToClocks (dimm->tCCD_L);
  clocks->tWR      = psToClocks (dimm->tWR);
  clocks->tWTR_L   = psToClocks (dimm->tWTR_L);
  clocks->tWTR_S   = psToClocks (dimm->tWTR_S);
  clocks->tRTP     = max32 (4, psToClocks (7500));
  clocks->tDLLK    = DDR_TDLLK;
  clocks->tMRD     = DDR_TMRD;
  clocks->tMRD_PDA = max32 (16, psToClocks (10000));
  clocks->tMOD     = max32 (24, psToClocks (15000));
  clocks->tCKMPE   = clocks->tMOD + 4;
  clocks->tZQinit  = DDR_TZQINIT;
  clocks->tDQSCK     = psToClocks (170);
  clocks->tDQSCK_max = psToClocks (170);
  clocks->tXS        = psToClocks (dimm->tRFC + DDR_TXS_EXTRA_PS);
  clocks->tXSDLL     = DDR_TDLLK;
  clocks->tXMP       = psToClocks (dimm->tRFC + DDR_TXS_EXTRA_PS);
  clocks->tXMPDLL    = clocks->tXMP + DDR_TDLLK;
  clocks->tMPX_S     = psToClocks (290);
  clocks->tMPX_LH    = DDR_TMPX_LH;
  clocks->tXP        = max32 (4, psToClocks (6000));
  clocks->tCKE       = max32 (3, psToClocks (5000));
  clocks->tWLO       = psToClocks (9500);
  clocks->tWLMRD     = DDR_TWLMRD;
  clocks->tCPDED     = DDR_TCPDED;
  clocks->tCMDCKE    = DDR_TCMDCKE;
  clocks->tGEAR_setup = DDR_TGEAR;
  clocks->tGEAR_hold  = DDR_TGEAR;
  clocks->tSRX       = max32 (5, psToClocks (10000));
  clocks->tAL        = 0;
  clocks->tSTAB      = psToClocks (DDR_TSTAB_PS);
  clocks->tRESET_low = psToClocks (DDR_TRESET_PS);
  clocks->tRTODT     = 0;
}

UINT64
decodeSpd (
  ZOR_DATA  *zorData,
  UINT32    rail,
  UINT32    chan
  )
{
  CONST UINT8  *spd    = zorData->spd[rail][chan];
  DDR_DIMM     *dimm   = &zorData->dimm[rail * DDR_CHANNELS + chan];
  DDR_CLOCKS   *clocks = &zorData->clocks[rail * DDR_CHANNELS + chan];

  //
  // Block 1 describes the DRAM and its timings: nothing of a DIMM whose
  // block 1 is damaged can be trusted. Block 2 holds only the register's
  // settings, so a damaged block 2 is reported and the decode goes on.
  //
  if (spdCrc (&spd[0]) != (UINT32)(spd[126] + 256 * spd[127])) {
    DEBUG ((DEBUG_WARN, "\033[31mRail %u channel %u DIMM SPD checksum 1 failure\033[0m\n", rail, chan));
    return 0;
  }

  if (spdCrc (&spd[128]) != (UINT32)(spd[254] + 256 * spd[255])) {
    DEBUG ((DEBUG_WARN, "\033[31mRail %u channel %u DIMM SPD checksum 2 failure\033[0m\n", rail, chan));
  }

  if (spd[2] != SPD_DDR4_SDRAM) {
    DEBUG ((DEBUG_WARN, "\033[31mRail %u channel %u doesn't have DDR4 SDRAM\033[0m\n", rail, chan));
    return 0;
  }

  if ((spd[3] & 0xF) != SPD_RDIMM) {
    DEBUG ((DEBUG_WARN, "\033[31mRail %u channel %u isn't a RDIMM\033[0m\n", rail, chan));
    return 0;
  }

  if (((spd[13] >> 3) & 3) != SPD_ECC_8_BITS) {
    DEBUG ((DEBUG_WARN, "\033[31mRail %u channel %u doesn't support ECC\033[0m\n", rail, chan));
    return 0;
  }

  //
  // Organisation. x16 devices, 3 or more than 4 ranks and bank layouts other
  // than four bank groups of four banks cannot be mapped by the controller
  // set-up; they halt rather than being dropped as a bad DIMM.
  //
  dimm->RDIMM     = 1;
  dimm->LRDIMM    = 0;
  dimm->stacks    = (UINT8)(((spd[6] >> 4) & 7) + 1);
  dimm->mirroring = (UINT8)(spd[136] & 1);
  dimm->ECC       = (UINT8)((spd[13] >> 3) & 1);
  dimm->width     = (UINT8)(4 << (spd[12] & 7));
  FATAL_CHECK (dimm->width == 4 || dimm->width == 8);
  dimm->ranks = (UINT8)(((spd[12] >> 3) & 7) + 1);
  FATAL_CHECK (dimm->ranks == 4 || dimm->ranks == 2 || dimm->ranks == 1);
  FATAL_CHECK (!(spd[4] & (1 << 4)));
  FATAL_CHECK (((spd[4] >> 6) & 3) == 2);

  dimm->pagesize = (1U << ((spd[5] & 7) + 9)) * dimm->width / 8;
  dimm->RC5      = driveStrengthCode (spd[138]);
  dimm->RC4      = driveStrengthCode (spd[137]);
  dimm->RC3      = (UINT8)(spd[137] >> 4);

  //
  // Capacity in MiB: bus bits / device width gives the devices per rank;
  // each holds dieMbit / 8 MiB per die. A 3DS package counts its dies with
  // two bits here (bits 5:4 of byte 6), against three for stacks.
  //
  UINT32  dies = (dimm->stacks > 1) ? (UINT32)((spd[6] >> 4) & 3) + 1 : 1;
  UINT32  mb   = (8U << (spd[13] & 7)) * (SPD_DIE_MBIT[spd[4] & 0xF] / 8) / (4U << (spd[12] & 7)) * dimm->ranks * dies;
  UINT64  capacity = LShiftU64 (mb, 20);

  dimm->tCKAVG     = mtbFinePs (spd[18], spd[125]);
  dimm->tCKAVG_max = mtbFinePs (spd[19], spd[124]);
  if (dimm->tCKAVG > DDR4_2666_TCK_PS) {
    DEBUG ((DEBUG_WARN, "\033[31mDDR4 DIMM doesn't support DDR4-2666\033[0m\n"));
    return 0;
  }

  dimm->rows    = (UINT8)(((spd[5] >> 3) & 7) + 12);
  dimm->columns = (UINT8)((spd[5] & 7) + 9);
  dimm->tAA     = mtbFinePs (spd[24], spd[123]);
  dimm->tRCD    = mtbFinePs (spd[25], spd[122]);
  dimm->tRP     = mtbFinePs (spd[26], spd[121]);
  dimm->tRAS    = mtbPs (((spd[27] & 0xFU) << 8) + spd[28]);
  dimm->tRC     = mtbFinePs (((UINT32)(spd[27] >> 4) << 8) + spd[29], spd[120]);
  dimm->tRFC    = mtbPs (((UINT32)spd[31] << 8) + spd[30]);
  dimm->tFAW    = mtbPs (((spd[36] & 0xFU) << 8) + spd[37]);
  dimm->tRRD_S  = mtbFinePs (spd[38], spd[119]);
  dimm->tRRD_L  = mtbFinePs (spd[39], spd[118]);
  dimm->tCCD_L  = mtbFinePs (spd[40], spd[117]);
  dimm->tWR     = mtbPs (((spd[41] & 0xFU) << 8) + spd[42]);
  dimm->tWTR_S  = mtbPs (((spd[43] & 0xFU) << 8) + spd[44]);
  dimm->tWTR_L  = mtbPs (((UINT32)(spd[43] >> 4) << 8) + spd[45]);

  deriveClocks (dimm, clocks);
  printListing (rail, chan, capacity, dimm, clocks);

  //
  // A reserved die-capacity code gives capacity 0: the DIMM has been listed
  // and is dropped now.
  //
  return capacity;
}
