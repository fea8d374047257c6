// libsndfile's view of a regular recording through its descriptor: from the file's first byte,
// with one header field optionally shown as other bytes (a size libsndfile would refuse). Each
// Open starts afresh, so a reader can begin again after damage.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <optional>

#include "files/sound_header.h"

namespace brindlemoor {

class SoundFileView {
 public:
  SoundFileView(int fd, int64_t size, std::optional<SoundHeader::SizeOverride> override);
  SoundFileView(const SoundFileView&) = delete;
  SoundFileView& operator=(const SoundFileView&) = delete;

  // A new libsndfile handle reading from the start (null as sf_open gives it); the view must
  // outlive it.
  SNDFILE* Open(SF_INFO& info);

 private:
  static sf_count_t Length(void* self);
  static sf_count_t Seek(sf_count_t offset, int whence, void* self);
  static sf_count_t Read(void* into, sf_count_t count, void* self);
  static sf_count_t Write(const void* from, sf_count_t count, void* self);
  static sf_count_t Tell(void* self);

  int fd;
  int64_t size;
  int64_t position = 0;
  std::optional<SoundHeader::SizeOverride> override;
  SF_VIRTUAL_IO io{&Length, &Seek, &Read, &Write, &Tell};
};

}  // namespace brindlemoor
