#include "sox_room.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>

#include "channel/audio_file.h"
#include "files/wav_writer.h"

extern char** environ;

namespace brindlemoor::bench {

namespace {

constexpr double kHeadroom = 4.0;  // the sound goes to sox this many times quieter
constexpr int32_t kBits = 16;

// Runs `argv` (found on PATH) and waits for it; false with `error` unless it exits with 0.
bool Run(const std::vector<std::string>& argv, std::string& error) {
  std::vector<char*> pointers;
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, pointers[0], nullptr, nullptr, pointers.data(), environ);
  if (spawned != 0) {
    error = "cannot run " + argv[0] + ": " + std::strerror(spawned);
    return false;
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    error = argv[0] + " failed (is SoX installed?)";
    return false;
  }
  return true;
}

}  // namespace

bool ApplySoxReverb(std::span<const double> in, int32_t sampleRate, int32_t reverberance,
                    const std::string& scratch, std::vector<double>& out, std::string& error) {
  return ApplySoxEffect(in, sampleRate, {"reverb", std::to_string(reverberance)}, scratch, out,
                        error);
}

bool ApplySoxEffect(std::span<const double> in, int32_t sampleRate,
                    const std::vector<std::string>& effect, const std::string& scratch,
                    std::vector<double>& out, std::string& error) {
  const std::string dry = scratch + "-dry.wav";
  const std::string wet = scratch + "-wet.wav";
  std::vector<double> quiet(in.begin(), in.end());
  for (double& x : quiet) x /= kHeadroom;
  IoError io;
  bool ok = WriteWav(dry, quiet, sampleRate, kBits, io);
  if (!ok) error = dry + ": " + io.description;
  std::vector<std::string> command = {"sox", "-D", "-V1", dry, "-e", "floating-point",
                                      "-b",  "32", wet};
  command.insert(command.end(), effect.begin(), effect.end());
  ok = ok && Run(command, error);
  AudioClip clip;
  if (ok && !ReadAudioFile(wet, clip, io)) {
    error = wet + ": " + io.description;
    ok = false;
  }
  std::remove(dry.c_str());
  std::remove(wet.c_str());
  if (!ok) return false;
  out = std::move(clip.samples);
  for (double& x : out) x *= kHeadroom;
  return true;
}

}  // namespace brindlemoor::bench
