#include "engine/extract.h"

#include <optional>
#include <string>

#include "engine/file_io.h"
#include "engine/icon_file.h"
#include "engine/pe_resources.h"

namespace kestrin {

PathKind KindOfPath(std::string_view path) {
  std::string tail(path.size() < 3 ? path : path.substr(path.size() - 3));
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (tail == "ico") return PathKind::IconFile;
  if (tail == "exe" || tail == "dll" || tail == "icl") return PathKind::Executable;
  if (tail == "bmp") return PathKind::Bitmap;
  return PathKind::None;
}

std::int32_t ExtractIconSet(std::string_view source, std::int32_t mode, std::string_view destination,
                            std::int32_t index) {
  if (mode < 0 || mode > 1) mode = 1;
  if (index < 1) index = 1;
  if (mode == 0 && destination.empty()) return 0;

  GroupEnumeration record;
  record.wantedIndex = index;
  std::optional<IconSet> set;
  std::optional<SourceFile> module;  // held until the call ends
  std::optional<PeImage> image;

  switch (KindOfPath(source)) {
    case PathKind::IconFile:
      set = ReadIconFile(source);
      record.runningCount += 1;  // an icon file is one icon, readable or not
      break;
    case PathKind::Executable:
      module = SourceFile::Open(source);
      if (module) image = PeImage::Parse(*module);
      if (image) CountIconGroups(*image, record);
      break;
    case PathKind::Bitmap:
    case PathKind::None:
      break;
  }

  if (record.runningCount == 0 || index > record.runningCount) return 0;
  if (image) set = LoadIconGroup(*image, record.chosenName, source);
  if (mode == 0 && set && KindOfPath(destination) == PathKind::IconFile) WriteIconFile(*set, destination);
  FreeIconSet(set);
  return record.runningCount;
}

}  // namespace kestrin
