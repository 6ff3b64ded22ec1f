/** @file
  Per-channel records of the ZOR's DDR4 bring-up: the DIMM as its SPD
  describes it, and the DRAM timings in clock cycles at the one DRAM clock of
  1325 MHz. ZOR_DATA holds one of each per rail and channel, at index
  rail * 2 + channel.
**/
#ifndef __ZOR_DDR_TYPES_H__
#define __ZOR_DDR_TYPES_H__

typedef struct {
  UINT8     RDIMM;
  UINT8     LRDIMM;
  UINT8     mirroring;
  UINT8     ECC;
  UINT8     width;        ///< device width in bits: 4 or 8
  UINT8     ranks;        ///< 1, 2 or 4
  UINT8     stacks;       ///< dies per package: 1, or 2 and 4 for 3DS
  UINT8     rows;         ///< row address bits
  UINT8     columns;      ///< column address bits
  UINT8     RC5;          ///< register control words, as codes
  UINT8     RC4;
  UINT8     RC3;
  UINT32    pagesize;     ///< bytes
  // SPD timings in picoseconds
  UINT32    tCKAVG;
  UINT32    tCKAVG_max;
  UINT32    tAA;
  UINT32    tRCD;
  UINT32    tRP;
  UINT32    tRAS;
  UINT32    tRC;
  UINT32    tRFC;
  UINT32    tFAW;
  UINT32    tRRD_S;
  UINT32    tRRD_L;
  UINT32    tCCD_L;
  UINT32    tWR;
  UINT32    tWTR_S;
  UINT32    tWTR_L;
} DDR_DIMM;

STATIC_ASSERT (OFFSET_OF (DDR_DIMM, pagesize) == 12, "flags and organisation take 12 bytes");
STATIC_ASSERT (sizeof (DDR_DIMM) == 12 + 16 * 4, "DDR_DIMM layout");

///
/// DRAM timings in DRAM clock cycles unless noted.
///
typedef struct {
  UINT32    CL;
  UINT32    CWL;
  UINT32    AL;
  UINT32    WL;
  UINT32    RL;
  UINT32    tRCD;
  UINT32    tRP;
  UINT32    tRAS;
  UINT32    tRAS_max;
  UINT32    tRC;
  UINT32    tRFC;
  UINT32    tRFC_max;
  UINT32    tREFI;
  UINT32    tFAW;
  UINT32    tRRD_L;
  UINT32    tRRD_S;
  UINT32    tCCD_S;
  UINT32    tCCD_L;
  UINT32    tWR;
  UINT32    tWTR_L;
  UINT32    tWTR_S;
  UINT32    tRTP;
  UINT32    tDLLK;
  UINT32    tMRD;
  UINT32    tMRD_PDA;
  UINT32    tCKMPE;
  UINT32    tZQinit;
  UINT32    tDQSCK;
  UINT32    tDQSCK_max;
  UINT32    tXS;
  UINT32    tXSDLL;
  UINT32    tXMP;
  UINT32    tXMPDLL;
  UINT32    tMPX_S;
  UINT32    tMPX_LH;
  UINT32    tXP;
  UINT32    tCKE;
  UINT32    tWLO;
  UINT32    tWLMRD;
  UINT32    tCPDED;
  UINT32    tCMDCKE;
  UINT32    tGEAR_setup;
  UINT32    tGEAR_hold;
  UINT32    tSRX;
  UINT32    tAL;
  UINT32    tSTAB;
  UINT32    tRESET_low;
  UINT32    tMOD;
  UINT32    tRTODT;
} DDR_CLOCKS;

STATIC_ASSERT (sizeof (DDR_CLOCKS) == 49 * 4, "49 timing values");
STATIC_ASSERT (OFFSET_OF (DDR_CLOCKS, tRTODT) == 48 * 4, "tRTODT is the last timing");

#endif
