// The order in which the installer reads a disc, and how that order lies on the disc: a CD
// drive reads a contiguous stretch at its full rate and pays an access (75 to 150 ms) for
// every jump, so the image command lays the files out in the installer's reading order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mediatool/Iso9660.h"
#include "mediatool/MediumTree.h"

namespace mediatool {

struct DiscFile {
  std::string path;     ///< from the disc's root, "\" between the parts
  int64_t extent = -1;  ///< first block of its data, -1 where not known
  int64_t size = 0;
};

/// The files the installer reads from a disc, in the order it first reads each: autorun.inf
/// (Windows, when the disc goes in) and setup.exe; CAB's files depth first in the order of the
/// folder's records, entering a folder where its record comes (the copy's order); then the
/// System step's files in record order; then the Fonts step's: FONT.TXT, then the fonts in
/// record order. Files the steps pass over (empty ones) are listed all the same, where the
/// installer meets them; anything else on the disc is not. Windows lists a disc's folder in
/// its records' order (Target::Cd); Wine sorts every folder it lists without regard to case,
/// the disc's too (Target::Ntfs).
std::vector<DiscFile> InstallerReadingOrder(const DiscEntry& root, Target lister = Target::Cd);

/// The same tree as the disc's records will hold it: a medium folder read for a CD.
DiscEntry DiscTreeOf(const Entry& root);

struct DiscRuns {
  int runs = 0;       ///< contiguous stretches the reading order covers (0 without data)
  int jumps = 0;      ///< runs - 1: accesses between files
  int backward = 0;   ///< jumps to a lower block
  std::vector<std::string> breaks;  ///< "A -> B" for each jump, in reading order
};

/// How many contiguous stretches the files' data make when read in this order: each file's
/// data must start at the block after the previous file's last one. Empty files hold no data
/// and do not count; a file read twice counts where it is first read.
DiscRuns CountRuns(const std::vector<DiscFile>& order);

/// xorriso's --sort-weight-list lines for laying out the files in this order: the first file
/// gets the highest weight, so the lowest block; "WEIGHT /PATH" with "/" between the parts.
std::string SortWeightList(const std::vector<DiscFile>& order);

/// The seconds a drive spends on `jumps` accesses of `accessMs` each, as the check says it.
double SecondsLost(int jumps, double accessMs = 100);

}  // namespace mediatool
