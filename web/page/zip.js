// A .zip archive of stored (uncompressed) files, for handing several .MMF files over as one
// download. .MMF files are a few kilobytes and hardly compress, so storing them is enough.
//
// Layout: for each file a local header (30 bytes + name) and its bytes; then the central
// directory, one 46-byte record + name per file; then the 22-byte end record. All numbers are
// little-endian. Names are UTF-8 (flag bit 11).

const kCrcTable = (() => {
  const table = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) {
      c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    }
    table[n] = c >>> 0;
  }
  return table;
})();

// The CRC-32 of the zip format (the reflected polynomial 0xEDB88320).
export function crc32(bytes) {
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) {
    crc = kCrcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  }
  return (crc ^ 0xffffffff) >>> 0;
}

// The date and time fields of a header, local time as the archivers show it.
function dosDateTime(date) {
  const year = Math.max(date.getFullYear(), 1980);
  const time = (date.getHours() << 11) | (date.getMinutes() << 5) | (date.getSeconds() >> 1);
  const day = ((year - 1980) << 9) | ((date.getMonth() + 1) << 5) | date.getDate();
  return {time, day};
}

// Returns the bytes of an archive holding `files` ([{name, bytes}]) in that order. A name that
// appears twice gets " (2)", " (3)" ... before its extension, so that unpacking keeps every file.
// Throws a RangeError when the archive would pass the format's 4 GiB or 65535-file limits.
export function makeZip(files, date = new Date()) {
  if (files.length > 0xffff) {
    throw new RangeError('too many files for a zip archive');
  }
  const encoder = new TextEncoder();
  const {time, day} = dosDateTime(date);
  const used = new Set();
  const entries = files.map(({name, bytes}) => {
    let unique = name;
    for (let n = 2; used.has(unique.toLowerCase()); n++) {
      const dot = name.lastIndexOf('.');
      unique = dot > 0 ? `${name.slice(0, dot)} (${n})${name.slice(dot)}` : `${name} (${n})`;
    }
    used.add(unique.toLowerCase());
    return {name: encoder.encode(unique), bytes, crc: crc32(bytes)};
  });
  const total = entries.reduce((sum, e) => sum + 30 + 46 + 2 * e.name.length + e.bytes.length, 22);
  if (total > 0xffffffff) {
    throw new RangeError('zip archive too large');
  }
  const out = new Uint8Array(total);
  const view = new DataView(out.buffer);
  let at = 0;
  const u16 = (v) => {
    view.setUint16(at, v, true);
    at += 2;
  };
  const u32 = (v) => {
    view.setUint32(at, v, true);
    at += 4;
  };
  // The fields that the local header and the central record share, from "version needed" on.
  const common = (e) => {
    u16(20);      // version needed: 2.0
    u16(0x0800);  // flags: UTF-8 name
    u16(0);       // method: stored
    u16(time);
    u16(day);
    u32(e.crc);
    u32(e.bytes.length);  // compressed size
    u32(e.bytes.length);  // size
    u16(e.name.length);
    u16(0);  // extra field length
  };
  const offsets = [];
  for (const e of entries) {
    offsets.push(at);
    u32(0x04034b50);
    common(e);
    out.set(e.name, at);
    at += e.name.length;
    out.set(e.bytes, at);
    at += e.bytes.length;
  }
  const directory = at;
  entries.forEach((e, i) => {
    u32(0x02014b50);
    u16(20);  // made by: version 2.0
    common(e);
    u16(0);           // comment length
    u16(0);           // disk number
    u16(0);           // internal attributes
    u32(0);           // external attributes
    u32(offsets[i]);  // offset of the local header
    out.set(e.name, at);
    at += e.name.length;
  });
  const directorySize = at - directory;
  u32(0x06054b50);
  u16(0);  // this disk
  u16(0);  // disk of the directory
  u16(entries.length);
  u16(entries.length);
  u32(directorySize);
  u32(directory);
  u16(0);  // comment length
  return out;
}
