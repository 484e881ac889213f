// Streaming audio decoding through libsndfile or FFmpeg's libraries, over files the program opens itself.
#include "audio_decoder.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "clock_text.h"
#include "media_chatter.h"
#include "core/channel_downmix.h"
#include "ogg_links.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
}

struct AudioDecoderBackend {
  SNDFILE* sndfile = nullptr;
  int sndfileFormat = 0;  // SF_FORMAT_* major type of what libsndfile opened

  std::FILE* file = nullptr;  // what FFmpeg reads, through `io`
  bool ownsFile = false;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  int stream = -1;
  bool flushed = false;            // the demuxer is done and the decoder was told so
  std::int64_t decoded = 0;        // sample frames decoded so far
  std::int64_t nextStamp = -1;     // where the next decoded frame should start by its time stamp, in samples
  int damagedPlaces = 0;           // places where damaged data was skipped
  std::int64_t lastDamageAt = -1;  // `decoded` at the last of them
  int damageNoted = -1;            // index of its warning, -1 when it has none
  std::int64_t bytesRead = 0;      // through `io`
  // A stream's bytes as they came, kept while its reader is being found, so that a format that needs to seek (an
  // MP4 with its index after its samples) can be read again from them: `spooled` bytes, read again up to `spoolAt`.
  std::FILE* spool = nullptr;
  std::int64_t spooled = 0, spoolAt = 0;
  std::vector<double> pending;  // decoded, interleaved, not yet handed out
  std::size_t pendingAt = 0;
  bool mixing = false;  // more than two channels, read into `surround` and mixed down
  StereoDownmix downmix;
  std::vector<double> surround;
};

namespace {

constexpr int kIoBufferBytes = 64 * 1024;

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

int ReadFromFile(void* opaque, std::uint8_t* buffer, int size) {
  auto* b = static_cast<AudioDecoderBackend*>(opaque);
  const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(size), b->file);
  b->bytesRead += static_cast<std::int64_t>(got);
  if (got > 0 && b->spool) {
    if (std::fseek(b->spool, 0, SEEK_END) != 0 || std::fwrite(buffer, 1, got, b->spool) != got) return AVERROR(EIO);
    b->spooled += static_cast<std::int64_t>(got);
    b->spoolAt = b->spooled;
  }
  if (got > 0) return static_cast<int>(got);
  return std::ferror(b->file) ? AVERROR(EIO) : AVERROR_EOF;
}

// A stream read again: what was read before comes from the spool, the rest from the stream, spooled in its turn.
int ReadThroughSpool(void* opaque, std::uint8_t* buffer, int size) {
  auto* b = static_cast<AudioDecoderBackend*>(opaque);
  if (b->spoolAt == b->spooled) return ReadFromFile(opaque, buffer, size);
  const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(size, b->spooled - b->spoolAt));
  if (fseeko(b->spool, static_cast<off_t>(b->spoolAt), SEEK_SET) != 0) return AVERROR(EIO);
  const std::size_t got = std::fread(buffer, 1, wanted, b->spool);
  b->spoolAt += static_cast<std::int64_t>(got);
  return got > 0 ? static_cast<int>(got) : AVERROR(EIO);
}

// Seeks within what was read, and forward by reading on; the end of a stream is not known before it comes.
std::int64_t SeekInSpool(void* opaque, std::int64_t offset, int whence) {
  auto* b = static_cast<AudioDecoderBackend*>(opaque);
  whence &= ~AVSEEK_FORCE;
  const std::int64_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? b->spoolAt + offset : -1;
  if (target < 0) return -1;
  std::uint8_t chunk[16384];
  b->spoolAt = b->spooled;
  while (b->spooled < target && ReadFromFile(b, chunk, sizeof chunk) > 0) {
  }
  if (target > b->spooled) return -1;
  b->spoolAt = target;
  return target;
}

std::int64_t SeekInFile(void* opaque, std::int64_t offset, int whence) {
  auto* b = static_cast<AudioDecoderBackend*>(opaque);
  if (whence == AVSEEK_SIZE) {
    struct stat st {};
    return ::fstat(fileno(b->file), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
  }
  whence &= ~AVSEEK_FORCE;
  if (fseeko(b->file, static_cast<off_t>(offset), whence) != 0) return -1;
  return static_cast<std::int64_t>(ftello(b->file));
}

// Demuxers that name other resources (playlists, references to other files) would open them through this:
// a file given to tavelmir is read alone.
int RefuseNestedOpen(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) { return AVERROR(EPERM); }

bool FormatIsSupported(int rate, int channels, const std::string& path, std::string& error) {
  if (channels < 1 || channels > kMaximumAudioChannels) {
    error = "cannot read audio '" + path + "': " + std::to_string(channels) + " channels (tavelmir takes 1 to " +
            std::to_string(kMaximumAudioChannels) + ")";
    return false;
  }
  if (rate < kMinimumAudioRate || rate > kMaximumAudioRate) {
    error = "cannot read audio '" + path + "': a sample rate of " + std::to_string(rate) +
            " Hz (tavelmir takes 1000 to 768000 Hz)";
    return false;
  }
  return true;
}

bool OpenWithSndfile(AudioDecoder& d, std::string& error) {
  SF_INFO info{};
  SNDFILE* file = nullptr;
  {
    // libsndfile's MPEG decoder prints its doubts about a file straight to standard error.
    const QuietStandardError quiet;
    file = sf_open(d.path.c_str(), SFM_READ, &info);
  }
  if (!file) {
    error = sf_strerror(nullptr);
    return false;
  }
  // A header that claims more than the file holds leaves libsndfile with nothing to read in some formats (AU);
  // FFmpeg reads what is there.
  if (info.frames == 0) {
    sf_close(file);
    error = "it holds no samples";
    return false;
  }
  // Integer sources come out exactly as s / 2^(bits-1); float sources as stored.
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
  d.rate = info.samplerate;
  d.sourceChannels = info.channels;
  d.claimedLength = info.frames >= 0 && info.frames <= kLongestClaimedLength ? info.frames : -1;
  if (const char* title = sf_get_string(file, SF_STR_TITLE)) d.title = title;
  if (const char* artist = sf_get_string(file, SF_STR_ARTIST)) d.artist = artist;
  d.backend->sndfile = file;
  d.backend->sndfileFormat = info.format & SF_FORMAT_TYPEMASK;
  return true;
}

// Decoded samples of `frame` appended to `pending`, interleaved; integer formats divided by their full scale,
// which is exact in a double and equal to what libsndfile gives for the same samples.
void AppendFrame(const AVFrame* frame, int channels, std::vector<double>& pending) {
  const int n = frame->nb_samples;
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const bool planar = av_sample_fmt_is_planar(format) != 0;
  const std::size_t base = pending.size();
  pending.resize(base + static_cast<std::size_t>(n) * static_cast<std::size_t>(channels));
  double* out = pending.data() + base;
  for (int c = 0; c < channels; ++c) {
    const std::uint8_t* data = planar ? frame->extended_data[c] : frame->extended_data[0];
    const int stride = planar ? 1 : channels;
    const int first = planar ? 0 : c;
    for (int i = 0; i < n; ++i) {
      const int k = first + i * stride;
      double v = 0;
      switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
          v = (data[k] - 128) / 128.0;
          break;
        case AV_SAMPLE_FMT_S16:
          v = reinterpret_cast<const std::int16_t*>(data)[k] / 32768.0;
          break;
        case AV_SAMPLE_FMT_S32:
          v = reinterpret_cast<const std::int32_t*>(data)[k] / 2147483648.0;
          break;
        case AV_SAMPLE_FMT_S64:
          v = static_cast<double>(reinterpret_cast<const std::int64_t*>(data)[k]) / 9223372036854775808.0;
          break;
        case AV_SAMPLE_FMT_FLT:
          v = reinterpret_cast<const float*>(data)[k];
          break;
        case AV_SAMPLE_FMT_DBL:
          v = reinterpret_cast<const double*>(data)[k];
          break;
        default:
          break;
      }
      out[static_cast<std::size_t>(i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = v;
    }
  }
}

// "m:ss.cc" of a sample position, for warnings.
std::string TimeOf(std::int64_t sample, int rate) { return ClockText(rate > 0 ? sample * 100 / rate : -1, true); }

// A few places are named; a file damaged all over says so once more at the end, not a thousand times.
constexpr int kNamedDamagedPlaces = 3;

// One warning per place: a later, more telling note of the same place replaces the first.
void NoteDamage(AudioDecoder& d, const std::string& what) {
  AudioDecoderBackend& b = *d.backend;
  const std::string text = "'" + d.path + "': " + what + " at " + TimeOf(b.decoded, d.rate) + " skipped";
  if (b.damageNoted >= 0 && b.lastDamageAt == b.decoded) {
    d.warnings[static_cast<std::size_t>(b.damageNoted)] = text;
    return;
  }
  b.lastDamageAt = b.decoded;
  b.damageNoted = -1;
  if (++b.damagedPlaces > kNamedDamagedPlaces) return;
  b.damageNoted = static_cast<int>(d.warnings.size());
  d.warnings.push_back(text);
}

// A decoded frame that starts later than the samples before it end: the frames in between were damaged and
// dropped by the demuxer.
void NoteGap(AudioDecoder& d, const AVFrame* frame) {
  AudioDecoderBackend& b = *d.backend;
  const AVStream* stream = b.format->streams[b.stream];
  if (frame->best_effort_timestamp == AV_NOPTS_VALUE || stream->time_base.num <= 0 || frame->sample_rate <= 0) return;
  const std::int64_t stamp =
      av_rescale_q(frame->best_effort_timestamp, stream->time_base, AVRational{1, frame->sample_rate});
  // The first frame may be cut (an encoder's delay) while its time stamp is not: only later frames are compared.
  if (b.nextStamp >= 0 && stamp - b.nextStamp > frame->sample_rate / 100) {
    char length[32];
    std::snprintf(length, sizeof length, "%.2f", static_cast<double>(stamp - b.nextStamp) / frame->sample_rate);
    NoteDamage(d, std::string("a damaged stretch of ") + length + " s");
  }
  b.nextStamp = b.decoded > 0 ? stamp + frame->nb_samples : -1;
}

// Decodes until at least one frame is pending (1), the audio ends (0) or decoding fails (-1).
int DecodeMore(AudioDecoder& d, std::string& error) {
  AudioDecoderBackend& b = *d.backend;
  for (;;) {
    int r = avcodec_receive_frame(b.codec, b.frame);
    if (r == 0) {
      if (b.frame->nb_samples <= 0) {
        av_frame_unref(b.frame);
        continue;
      }
      const int channels = b.frame->ch_layout.nb_channels;
      const int rate = b.frame->sample_rate;
      if (d.rate == 0) {
        d.rate = rate;
        d.sourceChannels = channels;
      }
      if (rate != d.rate || channels != d.sourceChannels) {
        av_frame_unref(b.frame);
        error = "cannot decode audio '" + d.path + "': the sample rate or channel count changes midway";
        return -1;
      }
      if (!FormatIsSupported(rate, channels, d.path, error)) {
        av_frame_unref(b.frame);
        return -1;
      }
      NoteGap(d, b.frame);
      AppendFrame(b.frame, channels, b.pending);
      b.decoded += b.frame->nb_samples;
      av_frame_unref(b.frame);
      return 1;
    }
    if (r == AVERROR_EOF) return 0;
    // Damaged data costs the frame it is in, as in every player; the stream goes on.
    if (r == AVERROR_INVALIDDATA) NoteDamage(d, "damaged data");
    if (r != AVERROR(EAGAIN) && r != AVERROR_INVALIDDATA) {
      error = "cannot decode audio '" + d.path + "': " + AvError(r);
      return -1;
    }
    if (b.flushed) return 0;
    r = av_read_frame(b.format, b.packet);
    if (r < 0) {
      // The end, or a file cut off: what was read is the audio.
      avcodec_send_packet(b.codec, nullptr);
      b.flushed = true;
      continue;
    }
    if (b.packet->stream_index == b.stream) {
      r = avcodec_send_packet(b.codec, b.packet);
      if (r == AVERROR_INVALIDDATA) NoteDamage(d, "damaged data");
      if (r < 0 && r != AVERROR_INVALIDDATA && r != AVERROR(EAGAIN)) {
        av_packet_unref(b.packet);
        error = "cannot decode audio '" + d.path + "': " + AvError(r);
        return -1;
      }
    }
    av_packet_unref(b.packet);
  }
}

bool OpenWithFfmpeg(AudioDecoder& d, bool seekable, std::string& error) {
  AudioDecoderBackend& b = *d.backend;
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (buffer)
    b.io =
        b.spoolAt < b.spooled
            ? avio_alloc_context(buffer, kIoBufferBytes, 0, &b, ReadThroughSpool, nullptr, SeekInSpool)
            : avio_alloc_context(buffer, kIoBufferBytes, 0, &b, ReadFromFile, nullptr, seekable ? SeekInFile : nullptr);
  if (!b.io) {
    av_free(buffer);
    error = "out of memory";
    return false;
  }
  if (!seekable) b.io->seekable = 0;
  b.format = avformat_alloc_context();
  if (!b.format) {
    error = "out of memory";
    return false;
  }
  b.format->pb = b.io;
  b.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  b.format->io_open = RefuseNestedOpen;
  int r = avformat_open_input(&b.format, d.path.c_str(), nullptr, nullptr);
  if (r < 0) {  // frees the context on failure
    b.format = nullptr;
    error = AvError(r);
    return false;
  }
  r = avformat_find_stream_info(b.format, nullptr);
  if (r < 0) {
    error = AvError(r);
    return false;
  }
  const AVCodec* codec = nullptr;
  b.stream = av_find_best_stream(b.format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
  if (b.stream < 0 || !codec) {
    error = b.stream == AVERROR_DECODER_NOT_FOUND ? "no decoder for its audio" : "it holds no audio";
    return false;
  }
  for (unsigned i = 0; i < b.format->nb_streams; ++i)
    if (static_cast<int>(i) != b.stream) b.format->streams[i]->discard = AVDISCARD_ALL;
  const AVStream* stream = b.format->streams[b.stream];
  b.codec = avcodec_alloc_context3(codec);
  b.packet = av_packet_alloc();
  b.frame = av_frame_alloc();
  if (!b.codec || !b.packet || !b.frame) {
    error = "out of memory";
    return false;
  }
  if ((r = avcodec_parameters_to_context(b.codec, stream->codecpar)) < 0 ||
      (r = avcodec_open2(b.codec, codec, nullptr)) < 0) {
    error = AvError(r);
    return false;
  }
  // Tags sit in the container (MP3, MP4, Matroska) or in the audio stream (Ogg, Opus).
  for (const AVDictionary* tags : {b.format->metadata, stream->metadata}) {
    const AVDictionaryEntry* title = av_dict_get(tags, "title", nullptr, 0);
    const AVDictionaryEntry* artist = av_dict_get(tags, "artist", nullptr, 0);
    if (title && d.title.empty()) d.title = title->value;
    if (artist && d.artist.empty()) d.artist = artist->value;
  }
  if (stream->duration > 0 && stream->time_base.num > 0 && stream->time_base.den > 0 &&
      stream->codecpar->sample_rate > 0) {
    // av_rescale_q saturates instead of overflowing; a claim beyond any real length counts as none.
    const std::int64_t claimed =
        av_rescale_q(stream->duration, stream->time_base, AVRational{1, stream->codecpar->sample_rate});
    if (claimed > 0 && claimed <= kLongestClaimedLength) d.claimedLength = claimed;
  }
  // The first decoded frame, not the container, says what the samples are (some codecs double the rate).
  std::string decodeError;
  const int got = DecodeMore(d, decodeError);
  if (got < 0) {
    error = decodeError.substr(decodeError.find("': ") + 3);
    return false;
  }
  if (got == 0) {
    error = "it holds no samples";
    return false;
  }
  return true;
}

// Opens the file for FFmpeg, as OpenAudioDecoder does for a regular file.
bool OpenFileWithFfmpeg(AudioDecoder& d, std::string& reason) {
  AudioDecoderBackend& b = *d.backend;
  b.file = std::fopen(d.path.c_str(), "rb");
  b.ownsFile = true;
  if (!b.file) {
    reason = std::strerror(errno);
    return false;
  }
  return OpenWithFfmpeg(d, true, reason);
}

void ReleaseFfmpeg(AudioDecoderBackend& b) {
  av_frame_free(&b.frame);
  av_packet_free(&b.packet);
  avcodec_free_context(&b.codec);
  avformat_close_input(&b.format);
  if (b.io) av_freep(&b.io->buffer);
  avio_context_free(&b.io);
  if (b.spool) std::fclose(b.spool);
  b.spool = nullptr;
  b.spooled = b.spoolAt = 0;
  if (b.file && b.ownsFile) std::fclose(b.file);
  b.file = nullptr;
  b.pending.clear();
  b.pendingAt = 0;
  b.flushed = false;
  b.stream = -1;
  b.decoded = 0;
  b.nextStamp = -1;
  b.damagedPlaces = 0;
  b.lastDamageAt = -1;
  b.damageNoted = -1;
  b.bytesRead = 0;
}

// Files libsndfile may stop reading early or pass damage over in silence (FLAC at a damaged block or at the
// length STREAMINFO states, Ogg at the end of a chain's first link or over a damaged page), while FFmpeg reads
// them whole and says where it skipped: known by their first bytes, before libsndfile opens them (it leaks on some
// damaged Ogg files). MP3, which libsndfile also fails on midway, is known only by the format it finds.
bool FfmpegReadsItWholer(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char magic[4] = {};
  const bool read = std::fread(magic, 1, sizeof magic, file) == sizeof magic;
  std::rewind(file);
  const bool whole =
      read && (std::memcmp(magic, "fLaC", 4) == 0 || (std::memcmp(magic, "OggS", 4) == 0 && OggHasLinksOrDamage(file)));
  std::fclose(file);
  return whole;
}

// FFmpeg's "Invalid argument" or "Invalid data" say nothing to someone holding a file of another kind.
std::string InWords(const std::string& reason, const AudioDecoderBackend& b) {
  if (b.file && b.bytesRead == 0 && std::feof(b.file)) return "it is empty";
  // What FFmpeg's probes and parsers say of bytes that are not sound, when they say anything.
  bool notSound = false;
  for (const int r : {AVERROR(EINVAL), AVERROR_INVALIDDATA, AVERROR(ENOMEM), AVERROR_EOF, AVERROR(EPERM),
                      AVERROR(ENOSYS), AVERROR_PATCHWELCOME, AVERROR_BUG})
    notSound = notSound || reason == AvError(r);
  if (notSound) return "not an audio file (neither libsndfile nor FFmpeg finds sound in it)";
  return reason;
}

// The speakers of libsndfile's channel map (WAV's channel mask, CAF's and AIFF's layouts); none without one.
bool SndfileSpeakers(SNDFILE* file, int channels, std::vector<Speaker>& speakers) {
  std::vector<int> map(static_cast<std::size_t>(channels));
  if (sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(), static_cast<int>(map.size() * sizeof(int))) != SF_TRUE)
    return false;
  speakers.clear();
  for (const int m : map) {
    switch (m) {
      case SF_CHANNEL_MAP_LEFT:
      case SF_CHANNEL_MAP_FRONT_LEFT:
        speakers.push_back(Speaker::FrontLeft);
        break;
      case SF_CHANNEL_MAP_RIGHT:
      case SF_CHANNEL_MAP_FRONT_RIGHT:
        speakers.push_back(Speaker::FrontRight);
        break;
      case SF_CHANNEL_MAP_MONO:
      case SF_CHANNEL_MAP_CENTER:
      case SF_CHANNEL_MAP_FRONT_CENTER:
        speakers.push_back(Speaker::FrontCentre);
        break;
      case SF_CHANNEL_MAP_REAR_CENTER:
        speakers.push_back(Speaker::BackCentre);
        break;
      case SF_CHANNEL_MAP_REAR_LEFT:
        speakers.push_back(Speaker::BackLeft);
        break;
      case SF_CHANNEL_MAP_REAR_RIGHT:
        speakers.push_back(Speaker::BackRight);
        break;
      case SF_CHANNEL_MAP_LFE:
        speakers.push_back(Speaker::LowFrequency);
        break;
      case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
        speakers.push_back(Speaker::FrontLeftOfCentre);
        break;
      case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
        speakers.push_back(Speaker::FrontRightOfCentre);
        break;
      case SF_CHANNEL_MAP_SIDE_LEFT:
        speakers.push_back(Speaker::SideLeft);
        break;
      case SF_CHANNEL_MAP_SIDE_RIGHT:
        speakers.push_back(Speaker::SideRight);
        break;
      default:
        speakers.push_back(Speaker::Unknown);
        break;
    }
  }
  return true;
}

// FFmpeg's layout of the decoded audio: a mask, a list of channels, or none (then the default for the count).
StereoDownmix FfmpegDownmix(const AVChannelLayout& layout, int channels) {
  if (layout.order == AV_CHANNEL_ORDER_NATIVE && layout.nb_channels == channels)
    return StereoDownmix::ForMask(channels, static_cast<SpeakerMask>(layout.u.mask & 0x3ffff));
  if (layout.order != AV_CHANNEL_ORDER_CUSTOM || layout.nb_channels != channels)
    return StereoDownmix::ForMask(channels);
  std::vector<Speaker> speakers;
  for (int c = 0; c < channels; ++c) {
    const AVChannel id = av_channel_layout_channel_from_index(&layout, static_cast<unsigned>(c));
    const bool named = id >= AV_CHAN_FRONT_LEFT && id <= AV_CHAN_TOP_BACK_RIGHT;
    speakers.push_back(named ? static_cast<Speaker>(id) : Speaker::Unknown);
  }
  return StereoDownmix::ForSpeakers(speakers.data(), channels);
}

// Reads give at most two channels: more are mixed down as they are read.
void ChooseOutputChannels(AudioDecoder& d) {
  AudioDecoderBackend& b = *d.backend;
  d.channels = std::min(d.sourceChannels, 2);
  b.mixing = d.sourceChannels > 2;
  if (!b.mixing) return;
  std::vector<Speaker> speakers;
  if (b.sndfile && SndfileSpeakers(b.sndfile, d.sourceChannels, speakers))
    b.downmix = StereoDownmix::ForSpeakers(speakers.data(), d.sourceChannels);
  else if (b.sndfile)
    b.downmix = StereoDownmix::ForMask(d.sourceChannels);
  else
    b.downmix = FfmpegDownmix(b.codec->ch_layout, d.sourceChannels);
}

bool OpenSource(const std::string& path, AudioDecoder& d, std::string& error);
bool OpenStream(AudioDecoder& d, bool regular, std::string& reason);

}  // namespace

AudioDecoder& AudioDecoder::operator=(AudioDecoder&& other) noexcept {
  if (this == &other) return *this;
  CloseAudioDecoder(*this);
  path = std::move(other.path);
  rate = std::exchange(other.rate, 0);
  channels = std::exchange(other.channels, 0);
  sourceChannels = std::exchange(other.sourceChannels, 0);
  claimedLength = std::exchange(other.claimedLength, -1);
  title = std::move(other.title);
  artist = std::move(other.artist);
  warnings = std::move(other.warnings);
  backend = std::exchange(other.backend, nullptr);
  return *this;
}

AudioDecoder::~AudioDecoder() { CloseAudioDecoder(*this); }

bool OpenAudioDecoder(const std::string& path, AudioDecoder& d, std::string& error) {
  CloseAudioDecoder(d);
  // Opened aside and handed over only when it reads: every way out before that closes what was opened.
  AudioDecoder opened;
  if (!OpenSource(path, opened, error)) return false;
  ChooseOutputChannels(opened);
  d = std::move(opened);
  return true;
}

namespace {

bool OpenSource(const std::string& path, AudioDecoder& d, std::string& error) {
  // Failures are reported in our own words with the file's name; FFmpeg's console chatter would only repeat them.
  if (!MediaChatterShown()) av_log_set_level(AV_LOG_QUIET);
  d.path = path;
  d.backend = new AudioDecoderBackend;
  AudioDecoderBackend& b = *d.backend;
  const bool standardInput = path == "-";
  struct stat st {};
  if (!standardInput && ::stat(path.c_str(), &st) != 0) {
    error = "cannot read audio '" + path + "': " + std::strerror(errno);
    return false;
  }
  if (!standardInput && S_ISDIR(st.st_mode)) {
    error = "cannot read audio '" + path + "': it is a folder";
    return false;
  }
  const bool regular = !standardInput && S_ISREG(st.st_mode);
  if (regular && st.st_size == 0) {
    error = "cannot read audio '" + path + "': it is empty";
    return false;
  }
  if (regular && FfmpegReadsItWholer(path)) {
    std::string reason;
    if (OpenFileWithFfmpeg(d, reason)) return true;
    error = "cannot read audio '" + path + "': " + InWords(reason, b);
    return false;
  }
  std::string sndfileError;
  if (regular && OpenWithSndfile(d, sndfileError)) {
    if (!FormatIsSupported(d.rate, d.sourceChannels, path, error)) {
      return false;
    }
    if (b.sndfileFormat != SF_FORMAT_MPEG) return true;
    // FFmpeg first; should it refuse the file, libsndfile reads what it can.
    const int rate = d.rate, channels = d.sourceChannels;
    const std::int64_t claimed = d.claimedLength;
    SNDFILE* sndfile = b.sndfile;
    b.sndfile = nullptr;
    d.rate = d.sourceChannels = 0;
    std::string ignored;
    if (OpenFileWithFfmpeg(d, ignored)) {
      sf_close(sndfile);
      return true;
    }
    ReleaseFfmpeg(b);
    b.sndfile = sndfile;
    d.rate = rate;
    d.sourceChannels = channels;
    d.claimedLength = claimed;
    return true;
  }
  d.rate = d.sourceChannels = 0;
  d.claimedLength = -1;
  if (standardInput) {
    b.file = stdin;
  } else {
    b.file = std::fopen(path.c_str(), "rb");
    b.ownsFile = true;
  }
  std::string reason;
  if (!b.file) {
    reason = std::strerror(errno);
  } else if (OpenStream(d, regular, reason)) {
    return true;
  }
  error = "cannot read audio '" + path + "': " + (reason.empty() ? sndfileError : InWords(reason, b));
  return false;
}

// Opens what `b.file` holds. A stream is read once: its bytes are kept while its reader is found, and should that
// fail, a reader that may seek in them (and on into the stream) tries again.
bool OpenStream(AudioDecoder& d, bool regular, std::string& reason) {
  AudioDecoderBackend& b = *d.backend;
  if (!regular) b.spool = std::tmpfile();
  if (OpenWithFfmpeg(d, regular, reason)) {
    if (b.spool) std::fclose(b.spool);
    b.spool = nullptr;
    return true;
  }
  if (!b.spool || b.spooled == 0) return false;
  // Everything but the stream and what was read of it goes.
  std::FILE* spool = std::exchange(b.spool, nullptr);
  std::FILE* file = std::exchange(b.file, nullptr);
  const std::int64_t spooled = b.spooled, bytesRead = b.bytesRead;
  ReleaseFfmpeg(b);
  b.bytesRead = bytesRead;
  b.file = file;
  b.spool = spool;
  b.spooled = spooled;
  b.spoolAt = 0;
  d.rate = d.sourceChannels = 0;
  d.claimedLength = -1;
  std::string again;
  if (!OpenWithFfmpeg(d, true, again)) return false;
  reason.clear();
  return true;
}

// Frames as the file holds them, `sourceChannels` interleaved.
std::int64_t ReadSourceFrames(AudioDecoder& d, double* out, std::int64_t frames, std::string& error) {
  AudioDecoderBackend& b = *d.backend;
  if (b.sndfile) {
    sf_count_t got = 0;
    if (b.sndfileFormat == SF_FORMAT_MPEG) {
      const QuietStandardError quiet;
      got = sf_readf_double(b.sndfile, out, frames);
    } else {
      got = sf_readf_double(b.sndfile, out, frames);
    }
    if (got > 0) return got;
    if (sf_error(b.sndfile) != SF_ERR_NO_ERROR) {
      error = "cannot decode audio '" + d.path + "': " + sf_strerror(b.sndfile);
      return -1;
    }
    return 0;
  }
  if (b.pendingAt == b.pending.size()) {
    b.pending.clear();
    b.pendingAt = 0;
    const int r = DecodeMore(d, error);
    // Told once, at the end, for a file damaged in more places than are named.
    if (r == 0 && b.damagedPlaces > kNamedDamagedPlaces) {
      d.warnings.push_back("'" + d.path + "': damaged data skipped in " +
                           std::to_string(b.damagedPlaces - kNamedDamagedPlaces) + " more places");
      b.damagedPlaces = kNamedDamagedPlaces;
    }
    if (r <= 0) return r;
  }
  const std::size_t channels = static_cast<std::size_t>(d.sourceChannels);
  const std::size_t available = (b.pending.size() - b.pendingAt) / channels;
  const std::size_t n = std::min(available, static_cast<std::size_t>(frames));
  std::memcpy(out, b.pending.data() + b.pendingAt, n * channels * sizeof(double));
  b.pendingAt += n * channels;
  return static_cast<std::int64_t>(n);
}

}  // namespace

std::int64_t ReadAudioFrames(AudioDecoder& d, double* out, std::int64_t frames, std::string& error) {
  if (!d.backend || frames <= 0) return 0;
  AudioDecoderBackend& b = *d.backend;
  if (!b.mixing) return ReadSourceFrames(d, out, frames, error);
  const std::size_t wanted = static_cast<std::size_t>(frames) * static_cast<std::size_t>(d.sourceChannels);
  if (b.surround.size() < wanted) b.surround.resize(wanted);
  const std::int64_t got = ReadSourceFrames(d, b.surround.data(), frames, error);
  if (got > 0) b.downmix.Mix(b.surround.data(), static_cast<std::size_t>(got), out);
  return got;
}

void CloseAudioDecoder(AudioDecoder& d) {
  if (d.backend) {
    if (d.backend->sndfile) sf_close(d.backend->sndfile);
    ReleaseFfmpeg(*d.backend);
    delete d.backend;
  }
  d.backend = nullptr;
  d.rate = d.channels = d.sourceChannels = 0;
  d.claimedLength = -1;
  d.title.clear();
  d.artist.clear();
  d.warnings.clear();
}
