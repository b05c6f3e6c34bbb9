// make_drive: builds a drive-like tree of audio files for the benchmarks, deterministically from a
// seed, or moves an existing tree one generation on (files added and removed) for the update runs.
// The tree's options and generations are kept in ".make_drive" at its root, a name the scan skips.
// The last line printed is "key=value ..." for scripts.

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plan.h"
#include "writer.h"

namespace {

using deltrix::bench::BuildPlan;
using deltrix::bench::Plan;
using deltrix::bench::PlanOptions;
using deltrix::bench::SyncStats;
using deltrix::bench::SyncTree;

constexpr const char* kStateName = ".make_drive";

void PrintUsage() {
  std::puts(
      "usage: make_drive --out DIR [--files N] [--seed S] [--cover-share P] [--threads T] "
      "[--replace]\n"
      "       make_drive --out DIR --add-remove P\n"
      "       make_drive --out DIR --reset\n"
      "\n"
      "  --files N        audio files the drive scan collects (default 20000)\n"
      "  --seed S         the seed everything is drawn from (default 1)\n"
      "  --cover-share P  percent of albums whose files carry a 100-500 KB cover picture (default "
      "0)\n"
      "  --threads T      writer threads (default 2)\n"
      "  --replace        delete DIR first when it holds anything\n"
      "  --add-remove P   on an existing tree: remove P% of its audio files and add as many new "
      "ones\n"
      "                   (one more generation; repeatable)\n"
      "  --reset          on an existing tree: go back to the tree as first made\n"
      "\n"
      "Last line: files=<collected audio files> bytes=<bytes written> seconds=<wall> ...");
}

std::string FormatPercent(double p) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", p);
  return text;
}

bool ReadState(const std::string& root, PlanOptions* options, std::string* error) {
  std::ifstream in(root + "/" + kStateName);
  if (!in) {
    *error = root + " holds no " + kStateName + ": make the tree with make_drive first";
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "seed")
      options->seed = std::strtoull(value.c_str(), nullptr, 10);
    else if (key == "files")
      options->files = static_cast<uint32_t>(std::strtoul(value.c_str(), nullptr, 10));
    else if (key == "cover_share")
      options->coverShare = std::strtod(value.c_str(), nullptr);
    else if (key == "changes") {
      std::stringstream list(value);
      std::string item;
      while (std::getline(list, item, ',')) {
        if (!item.empty()) options->changes.push_back(std::strtod(item.c_str(), nullptr));
      }
    }
  }
  return true;
}

bool WriteState(const std::string& root, const PlanOptions& options, std::string* error) {
  std::ofstream out(root + "/" + kStateName, std::ios::trunc);
  out << "seed=" << options.seed << "\nfiles=" << options.files
      << "\ncover_share=" << FormatPercent(options.coverShare) << "\nchanges=";
  for (size_t i = 0; i < options.changes.size(); ++i)
    out << (i ? "," : "") << FormatPercent(options.changes[i]);
  out << "\n";
  if (!out) {
    *error = "cannot write " + root + "/" + kStateName;
    return false;
  }
  return true;
}

bool ParseNumber(const char* text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text, &end);
  return end != text && *end == '\0' && *value >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  PlanOptions options;
  std::string out;
  double addRemove = -1;
  bool reset = false;
  bool replace = false;
  bool explicitShape = false;
  int threads = 2;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    double number = 0;
    if (arg == "--help" || arg == "-h") {
      PrintUsage();
      return 0;
    } else if (arg == "--out" && hasValue) {
      out = argv[++i];
    } else if (arg == "--files" && hasValue && ParseNumber(argv[++i], &number) && number >= 1) {
      options.files = static_cast<uint32_t>(number);
      explicitShape = true;
    } else if (arg == "--seed" && hasValue) {
      options.seed = std::strtoull(argv[++i], nullptr, 10);
      explicitShape = true;
    } else if (arg == "--cover-share" && hasValue && ParseNumber(argv[++i], &number) &&
               number <= 100) {
      options.coverShare = number;
      explicitShape = true;
    } else if (arg == "--threads" && hasValue && ParseNumber(argv[++i], &number) && number >= 1) {
      threads = static_cast<int>(number);
    } else if (arg == "--add-remove" && hasValue && ParseNumber(argv[++i], &number) &&
               number <= 100) {
      addRemove = number;
    } else if (arg == "--reset") {
      reset = true;
    } else if (arg == "--replace") {
      replace = true;
    } else {
      std::fprintf(stderr, "make_drive: bad option or value: %s\n", arg.c_str());
      PrintUsage();
      return 2;
    }
  }
  if (out.empty()) {
    std::fprintf(stderr, "make_drive: --out DIR is required\n");
    return 2;
  }
  while (out.size() > 1 && out.back() == '/') out.pop_back();

  auto start = std::chrono::steady_clock::now();
  std::string error;
  SyncStats stats;
  Plan plan;
  uint32_t generation = 0;
  const bool update = addRemove >= 0 || reset;
  if (update) {
    if (explicitShape) {
      std::fprintf(
          stderr,
          "make_drive: --add-remove and --reset take the tree's own seed, size and covers\n");
      return 2;
    }
    if (!ReadState(out, &options, &error)) {
      std::fprintf(stderr, "make_drive: %s\n", error.c_str());
      return 1;
    }
    const uint32_t current = static_cast<uint32_t>(options.changes.size());
    if (addRemove >= 0) options.changes.push_back(addRemove);
    plan = BuildPlan(options);
    generation = reset ? 0 : plan.Generations();
    if (!SyncTree(plan, out, current, generation, threads, &stats, &error)) {
      std::fprintf(stderr, "make_drive: %s\n", error.c_str());
      return 1;
    }
    if (reset) options.changes.clear();
  } else {
    std::error_code ec;
    if (std::filesystem::exists(out, ec) && !std::filesystem::is_empty(out, ec)) {
      if (!replace) {
        std::fprintf(stderr,
                     "make_drive: %s is not empty (use --replace, --add-remove or --reset)\n",
                     out.c_str());
        return 1;
      }
      std::filesystem::remove_all(out, ec);
      if (ec) {
        std::fprintf(stderr, "make_drive: cannot remove %s: %s\n", out.c_str(),
                     ec.message().c_str());
        return 1;
      }
    }
    std::filesystem::create_directories(out, ec);
    if (ec) {
      std::fprintf(stderr, "make_drive: cannot make %s: %s\n", out.c_str(), ec.message().c_str());
      return 1;
    }
    start =
        std::chrono::steady_clock::now();  // the time to make the tree, not to delete the old one
    plan = BuildPlan(options);
    if (!SyncTree(plan, out, -1, 0, threads, &stats, &error)) {
      std::fprintf(stderr, "make_drive: %s\n", error.c_str());
      return 1;
    }
  }
  if (!WriteState(out, options, &error)) {
    std::fprintf(stderr, "make_drive: %s\n", error.c_str());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const size_t collected = plan.CollectedAt(generation);
  const uint32_t added = update && !reset ? plan.added[generation] : 0;
  const uint32_t removed = update && !reset ? plan.removed[generation] : 0;
  std::printf("make_drive: %s, generation %u, seed %llu\n", out.c_str(), generation,
              static_cast<unsigned long long>(options.seed));
  std::printf("  audio files the scan collects: %zu (%zu artists, %zu albums planned)\n", collected,
              plan.artists.size(), plan.albums.size());
  const deltrix::bench::PlanSummary sum = deltrix::bench::Summarize(plan, generation);
  const auto pct = [&](size_t n) {
    return collected ? 100.0 * static_cast<double>(n) / static_cast<double>(collected) : 0.0;
  };
  std::printf(
      "  mp3 %.1f%%, m4a %.1f%%, mp4 %.1f%%, wav %.1f%%, aac %.1f%%; ID3v2.3 %.1f%%, ID3v2.4 "
      "%.1f%%, ID3v1 %.1f%%,"
      " cover %.1f%%, moov after mdat %.1f%%\n",
      pct(sum.byKind[0]), pct(sum.byKind[2]), pct(sum.byKind[3]), pct(sum.byKind[4]),
      pct(sum.byKind[1]), pct(sum.id3v23), pct(sum.id3v24), pct(sum.id3v1), pct(sum.withCover),
      pct(sum.moovLast));
  std::printf(
      "  %zu artists, %zu genres, non-ASCII text in %.1f%% of files, %zu files seven folders "
      "deep\n",
      sum.artists, sum.genres, pct(sum.nonAsciiText), sum.deepest);
  std::printf(
      "  files written: %llu (%llu decoys or passed-over audio), removed: %llu, folders made: "
      "%llu\n",
      static_cast<unsigned long long>(stats.filesWritten),
      static_cast<unsigned long long>(stats.decoyFiles),
      static_cast<unsigned long long>(stats.filesRemoved),
      static_cast<unsigned long long>(stats.foldersMade));
  std::printf("  bytes written: %llu (%.1f MB) in %.2f s\n",
              static_cast<unsigned long long>(stats.bytesWritten),
              static_cast<double>(stats.bytesWritten) / 1e6, seconds);
  std::printf(
      "files=%zu bytes=%llu seconds=%.3f written=%llu removed=%llu added=%u removed_audio=%u "
      "generation=%u\n",
      collected, static_cast<unsigned long long>(stats.bytesWritten), seconds,
      static_cast<unsigned long long>(stats.filesWritten),
      static_cast<unsigned long long>(stats.filesRemoved), added, removed, generation);
  return 0;
}
