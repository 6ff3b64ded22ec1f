#include "SpdTool.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "DdrSetup.h"
#include "Simulator/Platform.h"
#include "SpdImage.h"

extern "C" EFI_STATUS EFIAPI ZorPeiEntryPoint(EFI_PEI_FILE_HANDLE, CONST EFI_PEI_SERVICES**);

namespace zorsim {
namespace {

// The last red (report or fatal-check) line of the firmware's text.
std::string lastRedLine(const std::string& text) {
  std::istringstream lines(text);
  std::string line, red;
  while (std::getline(lines, line))
    if (line.rfind("\033[31m", 0) == 0) red = sim::stripColour(line);
  return red;
}

std::string gibibytes(uint64_t bytes) {
  char text[64];
  std::snprintf(text, sizeof text, "%llu bytes (%llu GiB)", static_cast<unsigned long long>(bytes),
                static_cast<unsigned long long>(bytes >> 30));
  return text;
}

}  // namespace

SpdVerdict decodeSpdImage(const std::vector<uint8_t>& spd) {
  sim::Platform platform;
  SpdVerdict verdict;
  sim::Platform::Outcome outcome;
  EFI_STATUS status = platform.dispatch("ZorPei", ZorPeiEntryPoint, &outcome);
  auto* ppi = static_cast<TARVO3_ZOR_PPI*>(platform.pei().locate(gTarvo3ZorPpiGuid));
  if (!outcome.completed || EFI_ERROR(status) || !ppi) {
    verdict.halted = true;
    verdict.reason = "ZorPei did not install its PPI";
    return verdict;
  }
  ZOR_DATA* zorData = ZOR_DATA_FROM_PPI(ppi);
  platform.clearDebug();
  outcome = platform.run("decodeSpd", [&] {
    for (size_t i = 0; i < spd.size(); ++i) ppi->setSpdByte(ppi, 0, 0, static_cast<UINT16>(i), spd[i]);
    verdict.capacity = decodeSpd(zorData, 0, 0);
  });
  verdict.text = platform.debugLog();
  if (!outcome.completed) {
    verdict.halted = true;
    verdict.capacity = 0;
    verdict.reason = "the firmware halts on this DIMM: " + outcome.report;
  } else if (verdict.capacity == 0) {
    verdict.reason = lastRedLine(verdict.text);
    // A reserved die-capacity code is the one failure the firmware does not
    // explain: it lists the DIMM and gives it capacity 0.
    if (verdict.reason.empty() || verdict.text.find("DIMM SPD data:") != std::string::npos) {
      char text[96];
      std::snprintf(text, sizeof text, "capacity 0 (byte 4 bits 3:0 = %u, a reserved die-capacity code)",
                    spd.size() > 4 ? spd[4] & 0xF : 0);
      verdict.reason = text;
    }
  }
  return verdict;
}

int runSpdTool(const std::vector<std::string>& files, bool colour, std::ostream& out, std::ostream& err) {
  int status = 0;
  for (const std::string& file : files) {
    std::vector<uint8_t> spd;
    try {
      spd = parseSpdImage(readFileBytes(file), file);
    } catch (const SpdError& e) {
      err << "zorsim spd: " << e.what() << '\n';
      status = 2;
      continue;
    }
    SpdVerdict verdict = decodeSpdImage(spd);
    out << "== " << file << " (" << spd.size() << " bytes)\n";
    out << (colour ? verdict.text : sim::stripColour(verdict.text));
    if (verdict.capacity != 0) {
      out << "== " << file << ": usable, " << gibibytes(verdict.capacity) << '\n';
    } else {
      out << "!! " << file << ": cannot be used: " << verdict.reason << '\n';
      status = std::max(status, 1);
    }
  }
  return status;
}

}  // namespace zorsim
