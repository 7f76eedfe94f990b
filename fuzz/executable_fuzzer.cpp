// Feeds arbitrary bytes to the executable reader: parse the image, count its icon groups, and load
// every group with its member images. Besides the sanitizers' findings (and libFuzzer's limits on
// time and single allocations), it checks that counting does not depend on the rank asked for, that
// every rank within the count names a group, that a loaded set is whole and holds no more bytes than
// the file, and that every loaded set can be written as an icon file that reads back.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/icon_file.h"
#include "engine/pe_resources.h"
#include "fuzz/fuzz_check.h"

namespace {

// Loading is tried for at most this many ranks (the first and the last ones), so that an input with
// thousands of groups still runs quickly; counting always walks them all.
constexpr std::int32_t kMostRanksLoaded = 256;

void CheckLoaded(const kestrin::IconSet& set, std::size_t fileSize) {
  FUZZ_CHECK(set.moduleFileName == "fuzz.dll" && set.iconFileName.empty());
  FUZZ_CHECK(set.images.size() == set.imageCount);
  std::uint64_t total = 0;
  for (const kestrin::IconImage& image : set.images) {
    FUZZ_CHECK(image.bytes.size() == image.byteCount);
    FUZZ_CHECK(image.header == 0);
    total += image.byteCount;
  }
  FUZZ_CHECK(total <= fileSize);

  std::vector<std::byte> written = kestrin::SerializeIconFile(set);
  auto back = kestrin::ParseIconFile(written, "back.ico");
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(back->imageCount == set.imageCount);
  for (std::size_t i = 0; i < set.images.size(); ++i) {
    FUZZ_CHECK(back->images[i].byteCount == set.images[i].byteCount);
    FUZZ_CHECK(back->images[i].width == set.images[i].width);
    FUZZ_CHECK(back->images[i].height == set.images[i].height);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::byte> input(reinterpret_cast<const std::byte*>(data), size);
  auto module = kestrin::PeImage::Parse(input);
  if (!module) return 0;
  FUZZ_CHECK(module->FileSize() == size);

  kestrin::GroupEnumeration first;
  first.wantedIndex = 1;
  kestrin::CountIconGroups(*module, first);
  std::int32_t count = first.runningCount;
  FUZZ_CHECK(count >= 0);
  FUZZ_CHECK(first.chosenName.has_value() == (count >= 1));

  // A rank past the count chooses nothing; no group is asked for by name.
  kestrin::GroupEnumeration past;
  past.wantedIndex = count + 1;
  kestrin::CountIconGroups(*module, past);
  FUZZ_CHECK(past.runningCount == count && !past.chosenName);
  FUZZ_CHECK(!kestrin::LoadIconGroup(*module, std::nullopt, "fuzz.dll"));

  std::vector<std::int32_t> ranks;
  for (std::int32_t k = 1; k <= count && k <= kMostRanksLoaded / 2; ++k) ranks.push_back(k);
  for (std::int32_t k = std::max(count - kMostRanksLoaded / 2 + 1, kMostRanksLoaded / 2 + 1); k <= count; ++k) {
    ranks.push_back(k);
  }
  for (std::int32_t rank : ranks) {
    kestrin::GroupEnumeration record;
    record.wantedIndex = rank;
    kestrin::CountIconGroups(*module, record);
    FUZZ_CHECK(record.runningCount == count);
    FUZZ_CHECK(record.chosenName.has_value());
    auto set = kestrin::LoadIconGroup(*module, record.chosenName, "fuzz.dll");
    if (set) CheckLoaded(*set, size);
  }
  return 0;
}
