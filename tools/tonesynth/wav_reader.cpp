#include "tonesynth/wav_reader.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace qav {

namespace {

[[noreturn]] void refuse(const std::string& path, const std::string& why) {
  throw std::runtime_error(path + ": " + why);
}

std::string openError(int error) {
  switch (error) {
    case ENOENT: return "Datei nicht gefunden";
    case EACCES: return "keine Leseberechtigung";
    default: return std::string("kann nicht geöffnet werden (") + std::strerror(error) + ")";
  }
}

// libsndfile's own text follows, for whoever has to look into the file.
std::string formatError(int error) {
  std::string why;
  switch (error) {
    case SF_ERR_UNRECOGNISED_FORMAT: why = "keine WAV-Datei"; break;
    case SF_ERR_SYSTEM: why = "Lesefehler"; break;
    case SF_ERR_UNSUPPORTED_ENCODING: why = "Kodierung wird nicht unterstützt"; break;
    // The remaining numbers are libsndfile's detailed reasons for a
    // malformed file.
    default: why = "fehlerhafter oder abgeschnittener WAV-Kopf"; break;
  }
  return why + " (libsndfile: " + sf_error_number(error) + ")";
}

bool isWavContainer(int format) {
  const int container = format & SF_FORMAT_TYPEMASK;
  return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX || container == SF_FORMAT_RF64;
}

std::string encodingName(int format) {
  SF_FORMAT_INFO info{};
  info.format = format & SF_FORMAT_SUBMASK;
  if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) != 0 || info.name == nullptr) {
    return "unbekannte Kodierung";
  }
  return info.name;
}

// libsndfile's floats are normalised to full scale 1.0 for every encoding;
// its direct conversion to short does not scale float files.
std::int16_t toSample(float value) {
  const float scaled = std::nearbyint(value * 32768.0f);
  if (!(scaled > -32768.0f)) return -32768;  // NaN included
  if (scaled > 32767.0f) return 32767;
  return static_cast<std::int16_t>(scaled);
}

}  // namespace

WavReader::WavReader(const std::string& path, int channel) : path_(path), channel_(channel) {
  // The file is opened here rather than by libsndfile, which, failing to
  // recognise a file, looks for a companion resource file and then reports
  // that one's absence as the error.
  descriptor_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor_ < 0) refuse(path, openError(errno));
  try {
    struct stat status {};
    if (::fstat(descriptor_, &status) == 0) {
      if (S_ISDIR(status.st_mode)) refuse(path, "ist ein Verzeichnis");
      if (S_ISREG(status.st_mode) && status.st_size == 0) refuse(path, "leere Datei");
    }
    SF_INFO info{};
    file_ = sf_open_fd(descriptor_, SFM_READ, &info, SF_FALSE);
    if (file_ == nullptr) refuse(path, formatError(sf_error(nullptr)));
    if (!isWavContainer(info.format)) refuse(path, "keine WAV-Datei");
    if (info.samplerate != kRecordingSampleRate) {
      refuse(path, "Abtastrate " + std::to_string(info.samplerate) +
                       " Hz; nur 8000 Hz werden ausgewertet (keine Umrechnung)");
    }
    if (info.channels < 1 || info.channels > 2) {
      refuse(path, std::to_string(info.channels) + " Kanäle; nur Mono und Stereo werden ausgewertet");
    }
    if (channel >= info.channels) refuse(path, "Monodatei hat keinen rechten Kanal");
    format_ = WavFormat{info.channels, encodingName(info.format)};
  } catch (...) {
    // The destructor does not run for a constructor that throws.
    if (file_ != nullptr) sf_close(file_);
    ::close(descriptor_);
    throw;
  }
}

WavReader::~WavReader() {
  sf_close(file_);
  ::close(descriptor_);
}

std::vector<std::int16_t> WavReader::read(std::size_t frames) {
  const std::size_t channels = static_cast<std::size_t>(format_.channels);
  interleaved_.resize(frames * channels);
  const sf_count_t got = sf_readf_float(file_, interleaved_.data(), static_cast<sf_count_t>(frames));
  if (got < 0 || sf_error(file_) != SF_ERR_NO_ERROR) {
    refuse(path_, std::string("Lesefehler (libsndfile: ") + sf_strerror(file_) + ")");
  }
  std::vector<std::int16_t> samples(static_cast<std::size_t>(got));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = toSample(interleaved_[i * channels + static_cast<std::size_t>(channel_)]);
  }
  return samples;
}

}  // namespace qav
