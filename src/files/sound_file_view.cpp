#include "files/sound_file_view.h"

#include <algorithm>

#include "platform/file_access.h"

namespace brindlemoor {

SoundFileView::SoundFileView(int fd, int64_t size,
                             std::optional<SoundHeader::SizeOverride> override)
    : fd(fd), size(size), override(override) {}

SNDFILE* SoundFileView::Open(SF_INFO& info) {
  position = 0;
  info = SF_INFO{};
  return sf_open_virtual(&io, SFM_READ, &info, this);
}

sf_count_t SoundFileView::Length(void* self) { return static_cast<SoundFileView*>(self)->size; }

sf_count_t SoundFileView::Seek(sf_count_t offset, int whence, void* self) {
  auto& view = *static_cast<SoundFileView*>(self);
  const int64_t base = whence == SEEK_CUR ? view.position : whence == SEEK_END ? view.size : 0;
  const int64_t target = base + offset;
  if (target < 0) return -1;
  view.position = target;
  return target;
}

sf_count_t SoundFileView::Read(void* into, sf_count_t count, void* self) {
  auto& view = *static_cast<SoundFileView*>(self);
  const int64_t n = std::min<int64_t>(count, view.size - view.position);
  if (n <= 0 || !ReadAt(view.fd, into, static_cast<std::size_t>(n), view.position)) return 0;
  if (view.override) {
    // The overridden bytes that fall inside [position, position + n).
    auto* bytes = static_cast<unsigned char*>(into);
    const int64_t first = std::max(view.override->offset, view.position);
    const int64_t last = std::min<int64_t>(view.override->offset + 8, view.position + n);
    for (int64_t at = first; at < last; ++at) {
      bytes[at - view.position] = view.override->bytes[at - view.override->offset];
    }
  }
  view.position += n;
  return n;
}

sf_count_t SoundFileView::Write(const void*, sf_count_t, void*) { return 0; }

sf_count_t SoundFileView::Tell(void* self) { return static_cast<SoundFileView*>(self)->position; }

}  // namespace brindlemoor
