// What a song file's first bytes say about it: its own sample rate (the rate the picture reads its samples at, as
// `tavelmir render` does, whatever rate the sound card runs at), and for a PCM WAV file where its samples are, so
// that long songs are read a piece at a time. Only headers are read; the browser decodes the rest.

const text = (b, at, n) => String.fromCharCode(...b.subarray(at, at + n));
const u16 = (b, at) => b[at] | (b[at + 1] << 8);
const u32 = (b, at) => (b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24)) >>> 0;
const u32be = (b, at) => ((b[at] << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3]) >>> 0;

const WAVE_PCM = 1;
const WAVE_FLOAT = 3;
const WAVE_EXTENSIBLE = 0xfffe;

// RIFF WAVE: the format chunk and where the data chunk starts. `fileSize` bounds a data chunk whose size field is
// missing or too large (a recording cut short, or a stream's placeholder).
function sniffWave(b, fileSize) {
  let at = 12;
  let format = null;
  while (at + 8 <= b.length) {
    const id = text(b, at, 4);
    const size = u32(b, at + 4);
    if (id === 'fmt ' && at + 24 <= b.length) {
      let tag = u16(b, at + 8);
      let mask = 0;  // the channels' speakers, where the file names them
      if (tag === WAVE_EXTENSIBLE && at + 34 <= b.length) {
        mask = u32(b, at + 28);
        tag = u16(b, at + 32);
      }
      format = { tag, mask, channels: u16(b, at + 10), rate: u32(b, at + 12), blockAlign: u16(b, at + 20),
        bits: u16(b, at + 22) };
    } else if (id === 'data') {
      if (!format) return null;
      const dataOffset = at + 8;
      const dataBytes = Math.min(size, fileSize - dataOffset);
      const pcm = (format.tag === WAVE_PCM && [8, 16, 24, 32].includes(format.bits)) ||
        (format.tag === WAVE_FLOAT && format.bits === 32);
      const usable = pcm && format.channels > 0 && format.blockAlign === (format.bits / 8) * format.channels;
      return { rate: format.rate, channels: format.channels,
        pcm: usable ? { dataOffset, frames: Math.floor(Math.max(0, dataBytes) / format.blockAlign),
          blockAlign: format.blockAlign, bits: format.bits, float: format.tag === WAVE_FLOAT, mask: format.mask } : null };
    }
    at += 8 + size + (size & 1);
  }
  return format ? { rate: format.rate, channels: format.channels, pcm: null } : null;
}

const MPEG_RATES = { 3: [44100, 48000, 32000], 2: [22050, 24000, 16000], 0: [11025, 12000, 8000] };

// MPEG audio: past an ID3v2 tag, the first frame header whose fields are valid.
function sniffMpeg(b) {
  let at = 0;
  if (text(b, 0, 3) === 'ID3' && b.length >= 10)
    at = 10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 | (b[9] & 0x7f));
  for (; at + 4 <= b.length; ++at) {
    if (b[at] !== 0xff || (b[at + 1] & 0xe0) !== 0xe0) continue;
    const version = (b[at + 1] >> 3) & 3;
    const layer = (b[at + 1] >> 1) & 3;
    const bitrate = b[at + 2] >> 4;
    const rate = (b[at + 2] >> 2) & 3;
    if (version === 1 || layer === 0 || bitrate === 15 || bitrate === 0 || rate === 3) continue;
    return { rate: MPEG_RATES[version][rate], channels: ((b[at + 3] >> 6) === 3) ? 1 : 2, pcm: null };
  }
  return null;
}

const ADTS_RATES = [96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350];

// AAC in ADTS frames: the first header's rate index (the core's rate: a file with SBR decodes at twice it).
function sniffAdts(b) {
  const index = (b[2] >> 2) & 15;
  return index < ADTS_RATES.length
    ? { rate: ADTS_RATES[index], channels: ((b[2] & 1) << 2) | (b[3] >> 6), pcm: null } : null;
}

// AIFF and AIFF-C: the COMM chunk's rate, an 80-bit extended float.
function sniffAiff(b) {
  for (let at = 12; at + 26 <= b.length;) {
    const size = u32be(b, at + 4);
    if (text(b, at, 4) === 'COMM') {
      const exponent = (((b[at + 16] & 0x7f) << 8) | b[at + 17]) - 16383;
      const mantissa = u32be(b, at + 18) * 2 ** 32 + u32be(b, at + 22);
      return { rate: Math.round(mantissa * 2 ** (exponent - 63)), channels: (b[at + 8] << 8) | b[at + 9], pcm: null };
    }
    at += 8 + size + (size & 1);
  }
  return null;
}

// MP4 and M4A: the sound's sample entry (its rate as 16.16 fixed point).
function sniffMp4(b) {
  for (let at = 4; at + 32 <= b.length; ++at) {
    if (b[at] !== 0x6d || text(b, at, 4) !== 'mp4a') continue;
    const rate = u32be(b, at + 28) >>> 16;
    if (rate > 0) return { rate, channels: (b[at + 20] << 8) | b[at + 21], pcm: null };
  }
  return null;
}

// Matroska and WebM: the first SamplingFrequency element (a 4- or 8-byte float).
function sniffMatroska(b) {
  const view = new DataView(b.buffer, b.byteOffset, b.byteLength);
  for (let at = 0; at + 10 <= b.length; ++at) {
    if (b[at] !== 0xb5) continue;
    const rate = b[at + 1] === 0x88 ? view.getFloat64(at + 2) : b[at + 1] === 0x84 ? view.getFloat32(at + 2) : 0;
    if (Number.isInteger(rate) && rate >= 3000 && rate <= 768000) return { rate, channels: 0, pcm: null };
  }
  return null;
}

// `b`: the file's first bytes (64 KiB is plenty but for MP4s whose index comes last, see `tail`); `tail`: its last
// bytes. Returns { rate, channels, pcm } (pcm: where a WAV file's samples are, or null), or null when the header
// says nothing the page knows; `rate` is then the browser's to choose.
export function sniffSong(b, fileSize, tail = new Uint8Array(0)) {
  if (b.length < 12) return null;
  let found = null;
  if (text(b, 0, 4) === 'RIFF' && text(b, 8, 4) === 'WAVE') found = sniffWave(b, fileSize);
  else if (text(b, 0, 4) === 'fLaC' && b.length >= 21)
    found = { rate: (b[18] << 12) | (b[19] << 4) | (b[20] >> 4), channels: ((b[20] >> 1) & 7) + 1, pcm: null };
  else if (text(b, 0, 4) === 'OggS') {
    const start = 27 + b[26];
    if (text(b, start, 8) === 'OpusHead') found = { rate: 48000, channels: b[start + 9], pcm: null };
    else if (text(b, start, 7) === '\x01vorbis') found = { rate: u32(b, start + 12), channels: b[start + 11], pcm: null };
  } else if (text(b, 4, 4) === 'ftyp') found = sniffMp4(b) || sniffMp4(tail);
  else if (u32be(b, 0) === 0x1a45dfa3) found = sniffMatroska(b);
  else if (text(b, 0, 4) === 'FORM' && /^AIF[FC]$/.test(text(b, 8, 4))) found = sniffAiff(b);
  else if (b[0] === 0xff && (b[1] & 0xf6) === 0xf0) found = sniffAdts(b);
  else found = sniffMpeg(b);
  return found && found.rate >= 3000 && found.rate <= 768000 ? found : null;
}

// ID3v2 text frames (v2.3 and v2.4): encoding byte, then the text.
function id3Text(b, at, size) {
  const encoding = b[at];
  const body = b.subarray(at + 1, at + size);
  const label = encoding === 1 ? 'utf-16' : encoding === 2 ? 'utf-16be' : encoding === 3 ? 'utf-8' : 'latin1';
  return new TextDecoder(label).decode(body).replace(/\0+$/, '').split('\0')[0].trim();
}

function id3Tags(b) {
  const version = b[3];
  if (version < 3 || version > 4) return null;
  const end = Math.min(b.length, 10 + ((b[6] & 0x7f) << 21 | (b[7] & 0x7f) << 14 | (b[8] & 0x7f) << 7 | (b[9] & 0x7f)));
  const tags = {};
  for (let at = 10; at + 10 <= end;) {
    const id = text(b, at, 4);
    if (!/^[A-Z0-9]{4}$/.test(id)) break;
    const size = version === 4 ? ((b[at + 4] & 0x7f) << 21 | (b[at + 5] & 0x7f) << 14 | (b[at + 6] & 0x7f) << 7 |
      (b[at + 7] & 0x7f)) : u32be(b, at + 4);
    if (size < 1 || at + 10 + size > end) break;
    if (id === 'TIT2') tags.title = id3Text(b, at + 10, size);
    else if (id === 'TPE1') tags.artist = id3Text(b, at + 10, size);
    at += 10 + size;
  }
  return tags.title ? tags : null;
}

// Vorbis comments (Ogg Vorbis, Opus, FLAC): "TITLE=" and "ARTIST=" among the first bytes, as UTF-8.
function vorbisTags(b) {
  const tags = {};
  const decoder = new TextDecoder();
  for (let at = 4; at + 4 < b.length; ++at) {
    const length = u32(b, at - 4);
    if (length < 7 || length > 1024 || at + length > b.length) continue;
    const field = decoder.decode(b.subarray(at, at + length));
    const match = /^(TITLE|ARTIST)=(.+)$/i.exec(field);
    if (match) tags[match[1].toLowerCase()] ??= match[2].trim();
  }
  return tags.title ? tags : null;
}

// The title and artist the file's tags give, or null: ID3v2 (MP3) and Vorbis comments. (The browser itself gives a
// page none.)
export function songTags(b) {
  if (b.length < 10) return null;
  if (text(b, 0, 3) === 'ID3') return id3Tags(b);
  if (text(b, 0, 4) === 'OggS' || text(b, 0, 4) === 'fLaC') return vorbisTags(b);
  return null;
}
