// `tavelmir render`: audio or waveform blocks in, one Render per frame, frames out.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "commands.h"
#include "frame_sinks.h"
#include "look_options.h"
#include "plugin_host.h"
#include "progress.h"
#include "waveform_source.h"

namespace {

int Fail(CommandStreams& streams, const std::string& message) {
  streams.err << "tavelmir: " << message << '\n';
  return 1;
}

}  // namespace

int RunRender(const RenderOptions& o, CommandStreams& streams) {
  if (o.audioPath.empty() == o.waveformPath.empty())
    return Fail(streams, "render needs exactly one input: an AUDIO file or --waveform FILE");
  if (o.outputPath.empty() == o.dumpPath.empty())
    return Fail(streams, "render needs exactly one output: -o OUT or --dump FILE");
  if (!o.waveformPath.empty() && o.offsetMs != 0)
    return Fail(streams, "--offset-ms shifts the picture against an AUDIO file; it has no meaning with --waveform");
  if (o.scale < 1 || o.scale > 16) return Fail(streams, "--scale must lie in 1..16");

  const OutputKind kind = o.dumpPath.empty() ? OutputKindForPath(o.outputPath) : OutputKind::Dump;
  const std::string outputPath = o.dumpPath.empty() ? o.outputPath : o.dumpPath;
  if (kind == OutputKind::Unsupported)
    return Fail(streams, "cannot tell what to write to '" + outputPath +
                             "': use a name ending in .mp4, .mkv, .webm or .gif, or a folder for PNG frames");

  std::string error;
  Look look;
  if (!ResolveLook(o.look, look, error)) return Fail(streams, error);
  WaveformStream audio;
  WaveformFile blocks;
  std::int64_t frames = INT64_MAX;  // audio: until it ends
  if (!o.audioPath.empty()) {
    if (!OpenWaveformStream(o.audioPath, o.offsetMs, audio, error)) return Fail(streams, error);
    if (audio.decoder.claimedLength > 0) frames = AudioFrameCount(audio.decoder.claimedLength, audio.decoder.rate);
  } else {
    if (!OpenWaveformFile(o.waveformPath, blocks, error)) return Fail(streams, error);
    frames = blocks.blocks;
  }
  if (o.maxFrames > 0 && o.maxFrames < frames) frames = o.maxFrames;

  PluginSession session;
  if (!StartPluginWithLook(look, session, error)) {
    CloseWaveformFile(blocks);
    CloseWaveformStream(audio);
    return Fail(streams, error);
  }
  for (const std::string& w : look.warnings) streams.err << "tavelmir: warning: " << w << '\n';
  FrameSink sink;
  if (!OpenFrameSink(sink, kind, outputPath, MakeOutputGeometry(o.scale, o.aspect43), o.audioPath, error)) {
    StopPlugin(session);
    CloseWaveformFile(blocks);
    CloseWaveformStream(audio);
    std::string ignored;
    CloseFrameSink(sink, ignored);
    return Fail(streams, error);
  }

  std::vector<unsigned char> block(kWaveformBlockBytes);
  std::vector<std::uint8_t> indices(kScreenPixels);
  std::vector<std::uint8_t> palette(kPaletteBytes);
  ProgressBar bar = StartProgress(streams.err, streams.terminal, frames, "frames");
  const auto start = std::chrono::steady_clock::now();
  bool ok = true;
  std::int64_t n = 0;
  for (; n < frames && ok; ++n) {
    if (blocks.file) {
      ok = ReadWaveformBlock(blocks, block.data());
      if (!ok) error = "cannot read block " + std::to_string(n) + " of '" + o.waveformPath + "'";
    } else {
      const int got = NextWaveformBlock(audio, n, block.data(), error);
      if (got == 0) break;
      ok = got > 0;
    }
    ok = ok && RenderPluginFrame(session, block.data(), indices.data(), palette.data(), error);
    ok = ok && WriteFrameToSink(sink, indices.data(), palette.data(), error);
    UpdateProgress(bar, n + 1);
  }
  FinishProgress(bar);
  StopPlugin(session);
  CloseWaveformFile(blocks);
  CloseWaveformStream(audio);
  frames = n;
  std::string closeError;
  const bool closed = CloseFrameSink(sink, closeError);
  if (!ok) return Fail(streams, error);
  if (!closed) return Fail(streams, closeError);

  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  char summary[128];
  std::snprintf(summary, sizeof summary, "%lld frames (%.2f s of picture) in %.1f s, %.0f frames/s",
                static_cast<long long>(frames), static_cast<double>(frames) / kFramesPerSecond, seconds,
                seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
  streams.out << "wrote " << outputPath << ": " << summary << '\n';
  return 0;
}
