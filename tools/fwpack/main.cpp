// fwpack: command line of the firmware build's packaging and checking
// steps. Each command exits 0 on success, 1 with a message naming the file
// and the problem otherwise.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>

#include "FwPack.h"

namespace fs = std::filesystem;
using namespace fwpack;

namespace {

const char kUsage[] =
    "usage:\n"
    "  fwpack ffs --inf MODULE.inf --dec PKG.dec [--dec ...] --pe IMAGE.efi --out FILE.ffs\n"
    "      a PEIM firmware file: depex from the .inf's [Depex] (GUID names from the .dec files),\n"
    "      the PE32 image, the user-interface name BASE_NAME; named FILE_GUID\n"
    "  fwpack fv --out VOLUME.fv [--block-size BYTES] [--base ADDRESS] FILE.ffs...\n"
    "      a firmware volume holding the files in order; with --base, its images rebased to\n"
    "      execute in place with the volume at ADDRESS\n"
    "  fwpack check-pe IMAGE.efi...\n"
    "      fails unless each image is an execute-in-place IA32 PEIM (PE32, i386, subsystem 11,\n"
    "      relocations kept, no imports, no writable section with content)\n"
    "  fwpack check-objects OBJECT.obj...\n"
    "      fails on static constructors, thread-local or writable data in object files\n"
    "  fwpack inf-sources MODULE.inf FOLDER [--warn]\n"
    "      compares the .inf's [Sources] with the sources in FOLDER\n"
    "  fwpack words IMAGE OUT.inc\n"
    "      a vendor microcode image (.bin: little-endian words; else hexadecimal text) as a\n"
    "      C initialiser list\n"
    "  fwpack report [--root DIR] OUT.txt (IMAGE.efi IMAGE.map OBJECTS.txt)...\n"
    "      the size table: code, read-only data, total, largest stack frame (from the .su files\n"
    "      beside the objects listed one per line in OBJECTS.txt; locations relative to DIR)\n";

int ffs(const std::vector<std::string> &args) {
  std::string inf, pe, out;
  std::vector<std::string> decs;
  for (size_t i = 0; i + 1 < args.size(); i += 2) {
    if (args[i] == "--inf") inf = args[i + 1];
    else if (args[i] == "--dec") decs.push_back(args[i + 1]);
    else if (args[i] == "--pe") pe = args[i + 1];
    else if (args[i] == "--out") out = args[i + 1];
    else throw Error("ffs: unknown option " + args[i]);
  }
  if (inf.empty() || pe.empty() || out.empty() || args.size() % 2 != 0) throw Error("ffs: --inf, --pe and --out are needed");
  InfModule module = parseInf(readText(inf));
  if (module.moduleType != "PEIM") throw Error(inf + ": MODULE_TYPE is " + module.moduleType + ", not PEIM");
  if (!module.depex) throw Error(inf + ": a PEIM needs a [Depex] section");
  GuidTable guids;
  for (const auto &dec : decs) readDecGuids(readText(dec), guids);
  Bytes depex;
  try {
    depex = compileDepex(*module.depex, guids);
  } catch (const Error &e) {
    throw Error(inf + ": " + e.what());
  }
  Bytes image = readFile(pe);
  auto problems = peProblems(parsePe(image));
  if (!problems.empty()) throw Error(pe + ": " + problems.front());
  writeFile(out, buildPeimFile(module.fileGuid, depex, image, module.baseName));
  return 0;
}

int fv(const std::vector<std::string> &args) {
  std::string out;
  uint32_t blockSize = 0x1000;
  std::optional<uint32_t> base;
  std::vector<Bytes> files;
  for (size_t i = 0; i < args.size(); i++) {
    if (args[i] == "--out" && i + 1 < args.size()) {
      out = args[++i];
    } else if (args[i] == "--base" && i + 1 < args.size()) {
      if (!args[i + 1].empty()) base = static_cast<uint32_t>(std::stoul(args[i + 1], nullptr, 0));
      i++;
    } else if (args[i] == "--block-size" && i + 1 < args.size()) {
      blockSize = static_cast<uint32_t>(std::stoul(args[++i], nullptr, 0));
    } else {
      files.push_back(readFile(args[i]));
    }
  }
  if (out.empty() || files.empty()) throw Error("fv: --out and at least one file are needed");
  writeFile(out, buildVolume(files, blockSize, base));
  return 0;
}

int checkPe(const std::vector<std::string> &args) {
  int status = 0;
  for (const auto &path : args) {
    for (const auto &problem : peProblems(parsePe(readFile(path)))) {
      std::cerr << path << ": " << problem << "\n";
      status = 1;
    }
  }
  return status;
}

int checkObjects(const std::vector<std::string> &args) {
  int status = 0;
  for (const auto &path : args) {
    for (const auto &problem : objectProblems(parseCoff(readFile(path)))) {
      std::cerr << path << ": " << problem << "\n";
      status = 1;
    }
  }
  return status;
}

int infSources(const std::vector<std::string> &args) {
  if (args.size() < 2) throw Error("inf-sources: MODULE.inf and FOLDER are needed");
  bool warnOnly = args.size() > 2 && args[2] == "--warn";
  InfModule module = parseInf(readText(args[0]));
  SourcesDrift drift = compareSources(module.sources, moduleSourceFiles(args[1]));
  if (drift.empty()) return 0;
  std::ostringstream text;
  text << (warnOnly ? "warning: " : "error: ") << args[0] << ": [Sources] does not match " << args[1] << ":\n";
  for (const auto &file : drift.missing) text << "  add     " << file << "\n";
  for (const auto &file : drift.stale) text << "  remove  " << file << "\n";
  text << "  (an integrator's framework build compiles exactly the files listed there)\n";
  std::cerr << text.str();
  return warnOnly ? 0 : 1;
}

int words(const std::vector<std::string> &args) {
  if (args.size() != 2) throw Error("words: IMAGE and OUT.inc are needed");
  writeText(args[1], wordList(readWords(args[0]), fs::path(args[0]).filename().string()));
  return 0;
}

int report(std::vector<std::string> args) {
  std::string root;
  if (args.size() > 2 && args[0] == "--root") {
    root = args[1];
    if (!root.empty() && root.back() != '/') root += '/';
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 4 || (args.size() - 1) % 3 != 0) throw Error("report: OUT and (IMAGE MAP OBJECTS) triples are needed");
  std::ostringstream table;
  char line[512];
  std::snprintf(line, sizeof(line), "%-20s %8s %8s %8s %8s  %s\n", "image", "code", "ro-data", "reloc", "total",
                "largest stack frame");
  table << line;
  for (size_t i = 1; i < args.size(); i += 3) {
    const std::string &imagePath = args[i];
    Bytes image = readFile(imagePath);
    PeImage pe = parsePe(image);
    uint32_t code = 0, rodata = 0, reloc = 0;
    for (const auto &s : pe.sections) {
      if (s.name == ".reloc") reloc += s.virtualSize;
      else if (s.code()) code += s.virtualSize;
      else if (!s.writable()) rodata += s.virtualSize;
    }
    LinkMap map = parseMap(readText(args[i + 1]));
    std::set<std::string> linked(map.objects.begin(), map.objects.end());

    StackFrame largest;
    std::istringstream objects(readText(args[i + 2]));
    std::string object;
    while (std::getline(objects, object)) {
      if (object.empty() || linked.count(fs::path(object).filename().string()) == 0) continue;
      fs::path su = fs::path(object).replace_extension(".su");
      CoffObject coff = parseCoff(readFile(object));
      if (!fs::exists(su)) {
        // The compiler writes no stack-usage file for an object without
        // functions (GUID definitions, tables).
        bool hasCode = std::any_of(coff.sections.begin(), coff.sections.end(),
                                   [](const PeSection &s) { return s.code() && s.rawSize != 0; });
        if (hasCode) throw Error(su.string() + ": no stack-usage output beside the object");
        continue;
      }
      for (const auto &frame : parseStackUsage(readText(su.string()))) {
        // A function with external linkage counts when the linker kept it;
        // one with internal linkage counts when its object was linked.
        std::string decorated = frame.function[0] == '?' ? frame.function : "_" + frame.function;
        auto symbol = std::find_if(coff.symbols.begin(), coff.symbols.end(),
                                   [&](const CoffSymbol &s) { return s.name == decorated; });
        bool external = symbol != coff.symbols.end() && symbol->external();
        if (external && map.symbols.count(decorated) == 0) continue;
        if (frame.bytes > largest.bytes || largest.function.empty()) largest = frame;
      }
    }
    if (!root.empty() && largest.location.rfind(root, 0) == 0) largest.location.erase(0, root.size());
    std::string frame = std::to_string(largest.bytes) + " bytes  " + readableName(largest.function) + " (" +
                        largest.location + ")";
    if (largest.qualifier.find("dynamic") != std::string::npos) frame += " [" + largest.qualifier + "]";
    std::snprintf(line, sizeof(line), "%-20s %8u %8u %8u %8zu  %s\n", fs::path(imagePath).filename().c_str(), code,
                  rodata, reloc, image.size(), frame.c_str());
    table << line;
  }
  writeText(args[0], table.str());
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  std::string command = argv[1];
  std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "ffs") return ffs(args);
    if (command == "fv") return fv(args);
    if (command == "check-pe") return checkPe(args);
    if (command == "check-objects") return checkObjects(args);
    if (command == "inf-sources") return infSources(args);
    if (command == "words") return words(args);
    if (command == "report") return report(args);
    std::cerr << "fwpack: unknown command " << command << "\n" << kUsage;
    return 2;
  } catch (const std::exception &e) {
    std::cerr << "fwpack " << command << ": " << e.what() << "\n";
    return 1;
  }
}
