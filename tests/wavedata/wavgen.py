#!/usr/bin/env python3
"""Splices chunks into wave files where no tool writes the case, and builds the
bad-input corpus: every file there is listed in bad/manifest.txt with the code
the header parser must end it with."""
import os
import struct
import sys
import wave

out = sys.argv[1]


def chunk(cid, payload, size=None):
    """A RIFF chunk with its pad byte; size overrides the size field only."""
    body = cid + struct.pack('<I', len(payload) if size is None else size) + payload
    return body + (b'\0' if len(payload) % 2 else b'')


def riff(chunks, form=b'WAVE'):
    body = form + b''.join(chunks)
    return b'RIFF' + struct.pack('<I', len(body)) + body


def fmt(tag=1, channels=1, rate=44100, bits=16, align=None, avg=None, extra=b''):
    align = (bits // 8) * channels if align is None else align
    avg = (align * rate) & 0xFFFFFFFF if avg is None else avg
    return chunk(b'fmt ', struct.pack('<HHIIHH', tag, channels, rate, avg, align, bits) + extra)


def samples(count, channels=1):
    return b''.join(struct.pack('<h', (i * 97 + c * 5000) % 30000 - 15000)
                    for i in range(count) for c in range(channels))


def save(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


def read(name):
    with open(os.path.join(out, name), 'rb') as f:
        return f.read()


def split_sox_file(name):
    """The format chunk and the sample bytes of a plain 44-byte-header file."""
    data = read(name)
    assert data[12:16] == b'fmt ' and data[36:40] == b'data'
    return data[12:36], data[44:]


# Good files with chunks no tool writes for us, built around a real sox file.
fmt_chunk, pcm = split_sox_file('mono16.wav')
info = chunk(b'LIST', b'INFO' + chunk(b'ISFT', b'sondrel test\0'))
fact = chunk(b'fact', struct.pack('<I', len(pcm) // 2))
save('listfact.wav', riff([fmt_chunk, info, fact, chunk(b'data', pcm)]))
save('fmt18.wav', riff([fmt(extra=b'\0\0'), chunk(b'data', pcm)]))
save('oddchunk.wav', riff([fmt_chunk, chunk(b'junk', b'abc'), chunk(b'data', pcm)]))
save('otherform.wav', riff([fmt_chunk, chunk(b'data', pcm)], form=b'AVI '))
save('fmtnotfirst.wav', riff([info, fmt_chunk, chunk(b'data', pcm)]))
# Broadcast wave files put 'bext' first, some writers 'JUNK'.
save('bwf.wav', riff([chunk(b'bext', b'\0' * 602), chunk(b'JUNK', b'\0' * 28), fmt_chunk, chunk(b'data', pcm)]))
PCM_GUID = bytes.fromhex('0100000000001000800000aa00389b71')
FLOAT_GUID = bytes.fromhex('0300000000001000800000aa00389b71')


def ext(channels=2, bits=16, valid=16, guid=PCM_GUID, align=None):
    """The extensible format chunk (tag 0xFFFE, 40 bytes)."""
    align = (bits // 8) * channels if align is None else align
    return fmt(tag=0xFFFE, channels=channels, bits=bits, align=align,
               extra=struct.pack('<HHI', 22, valid, 3 if channels == 2 else 4) + guid)


# Several tools write ordinary 16-bit stereo in the extensible form.
ext_fmt, stereo_pcm = split_sox_file('stereo16.wav')
save('ext16.wav', riff([ext(), chunk(b'data', stereo_pcm)]))

# Python's wave module: a plain stereo file and one without frames.
with wave.open(os.path.join(out, 'pywave.wav'), 'wb') as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(44100)
    w.writeframes(samples(1000, 2))
with wave.open(os.path.join(out, 'emptydata.wav'), 'wb') as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(44100)
    w.writeframes(b'')

# The bad-input corpus.
manifest = []


def bad(name, data, code):
    save(os.path.join('bad', name), data)
    manifest.append('%s %d' % (name, code))


small = samples(64)
data = chunk(b'data', small)
# Chunk sizes that wrap a 32-bit signed seek back onto the same header.
for size in (0xFFFFFFFF, 0xFFFFFFF8, 0xFFFFFFF7, 0x80000000, 0x7FFFFFFF):
    bad('chunk_%08x.wav' % size, riff([fmt(), b'junk' + struct.pack('<I', size), data]), 4)
for size in (0xFFFFFFFF, 0xFFFFFFF0, 0xFFFFFFE8, 0x80000010):
    bad('fmt_%08x.wav' % size, riff([b'fmt ' + struct.pack('<IHHIIHH', size, 1, 1, 44100, 88200, 2, 16), data]), 4)
# A data size far beyond the file is taken as it stands.
bad('data_7fffffff.wav', riff([fmt(), b'data' + struct.pack('<I', 0x7FFFFFFF) + small]), 0)
bad('data_ffffffff.wav', riff([fmt(), b'data' + struct.pack('<I', 0xFFFFFFFF) + small]), 0)
bad('data_ffffffff_stereo.wav', riff([fmt(channels=2), b'data' + struct.pack('<I', 0xFFFFFFFF) + small]), 0)
# RF64: the data size in the 'ds64' chunk that opens the file; one that contradicts
# the file is taken as a wrong 32-bit size is (cut to what the file holds).


def rf64(chunks, sizes=None):
    body = b'WAVE' + (chunk(b'ds64', sizes) if sizes is not None else b'') + b''.join(chunks)
    return b'RF64' + struct.pack('<I', 0xFFFFFFFF) + body


def ds64(data_size):
    return struct.pack('<QQQI', 0, data_size, data_size // 2, 0)


deferred = b'data' + struct.pack('<I', 0xFFFFFFFF) + small
listing = chunk(b'LIST', b'INFO' + b'\x55' * 20)
bad('rf64.wav', rf64([fmt(), deferred, listing], ds64(len(small))), 0)
bad('rf64_beyond_end.wav', rf64([fmt(), deferred], ds64(1 << 40)), 0)
bad('rf64_no_ds64.wav', rf64([fmt(), deferred, listing]), 0)
bad('rf64_short_ds64.wav', rf64([fmt(), deferred, listing], ds64(len(small))[:16]), 0)
bad('rf64_zero.wav', rf64([fmt(), deferred], ds64(0)), 9)
# Format chunks shorter than a PCM record.
bad('fmt_size_14.wav', riff([chunk(b'fmt ', struct.pack('<HHIIH', 1, 1, 44100, 88200, 2)), data]), 8)
bad('fmt_size_0.wav', riff([b'fmt ' + struct.pack('<I', 0) + struct.pack('<HHIIHH', 1, 1, 44100, 88200, 2, 16), data]), 8)
# Fields that contradict each other or say nothing.
bad('align_0.wav', riff([fmt(align=0), data]), 0)
bad('align_0_stereo.wav', riff([fmt(channels=2, align=0), data]), 0)
bad('align_2_stereo.wav', riff([fmt(channels=2, align=2), data]), 0)
bad('align_1000.wav', riff([fmt(align=1000), data]), 0)
bad('avg_0.wav', riff([fmt(avg=0), data]), 0)
bad('avg_999.wav', riff([fmt(avg=999), data]), 0)
bad('channels_0.wav', riff([fmt(channels=0), data]), 0)
bad('channels_3.wav', riff([fmt(channels=3), data]), 0)
bad('channels_200.wav', riff([fmt(channels=200), data]), 0)
bad('channels_65535.wav', riff([fmt(channels=65535, align=0xFFFE), data]), 0)
bad('bits_0.wav', riff([fmt(bits=0), data]), 0)
bad('bits_12.wav', riff([fmt(bits=12, align=2), data]), 0)
bad('bits_65535.wav', riff([fmt(bits=65535, align=0), data]), 0)
bad('rate_0.wav', riff([fmt(rate=0), data]), 0)
bad('rate_ffffffff.wav', riff([fmt(rate=0xFFFFFFFF), data]), 0)
bad('tag_0.wav', riff([fmt(tag=0), data]), 8)
bad('tag_fffe.wav', riff([fmt(tag=0xFFFE, extra=b'\x16\0' + b'\0' * 22), data]), 8)
# The extensible form: PCM whose valid bits fill 8-, 16-, 24- or 32-bit containers, 32-bit float.
bad('ext_float.wav', riff([ext(bits=32, valid=32, guid=FLOAT_GUID), data]), 0)
bad('ext_float64.wav', riff([ext(bits=64, valid=64, guid=FLOAT_GUID), data]), 8)
bad('ext_valid20.wav', riff([ext(bits=24, valid=20), data]), 8)
bad('tag3_bits64.wav', riff([fmt(tag=3, bits=64), data]), 8)
bad('ext_valid12.wav', riff([ext(valid=12), data]), 8)
bad('ext_bits24.wav', riff([ext(bits=24, valid=24), data]), 0)
bad('ext_short.wav', riff([fmt(tag=0xFFFE, extra=b'\x16\0\x10\0'), data]), 8)
bad('ext_mono.wav', riff([ext(channels=1), data]), 0)
# Samples before any format chunk.
bad('data_before_fmt.wav', riff([data, fmt()]), 8)
# Files that end before a data chunk, or inside a header.
bad('empty.wav', b'', 4)
bad('riff_only.wav', b'RIFF', 4)
bad('no_fmt.wav', b'RIFF\x04\0\0\0WAVE', 4)
bad('no_data.wav', riff([fmt()]), 4)
bad('no_data_after_list.wav', riff([fmt(), info]), 4)
bad('ends_in_chunk_header.wav', riff([fmt()]) + b'data\x10', 4)
bad('ends_in_skipped_chunk.wav', riff([fmt()]) + b'junk\x00\x01\0\0abc', 4)
bad('upper_case_data.wav', riff([fmt(), chunk(b'DATA', small)]), 4)
bad('zero_data.wav', riff([fmt(), chunk(b'data', b'')]), 9)
bad('not_riff_form.wav', riff([fmt(), data], form=b'RMID'), 8)
bad('odd_id_bytes.wav', riff([fmt(), chunk(b'\x01"\\\xff', b'xy'), data]), 0)
# Many empty chunks: the walk is long but ends, and the list keeps its first entries.
bad('many_chunks.wav', riff([fmt()] + [chunk(b'c%03d' % (i % 1000), b'') for i in range(3000)] + [data]), 0)
# Every truncation of good files' header regions.
for source in ('listfact.wav', 'oddchunk.wav', 'fmt18.wav', 'bwf.wav', 'ext16.wav'):
    whole = read(source)
    start = whole.index(b'data') + 8
    for n in range(start + 4):
        bad('trunc_%s_%03d.wav' % (source[:-4], n), whole[:n], 4 if n < start else 0)

with open(os.path.join(out, 'bad', 'manifest.txt'), 'w') as f:
    f.write('\n'.join(manifest) + '\n')
