// window.quavrex: the page's scripting interface to the QUAVREX module (quavrex.js and
// quavrex.wasm, built from the same C++ as the programs by scripts/web.sh). Every function
// returns a promise of plain values; bytes are Uint8Arrays (an ArrayBuffer or an array of
// numbers is taken as well).
//
//   compile(bytes, {name, format: "ma1"|"ma2", octaveCheck, voiceSetup, ezget,
//                   encoding: "auto"|"sjis"|"utf-8", waves: {filename: bytes}})
//       -> {log, diagnostics: [{line, column, message}], rangeReport, mmf}
//     Compiles a score as the dialog compiles a dropped file of that name (default
//     "score.mml"; format "ma1", octaveCheck false, voiceSetup false, ezget true, encoding
//     "auto", as the dialog first starts). `log` is the file's log line (UTF-8, no line break);
//     `diagnostics` the compile error's place (line and column from 1, column in characters);
//     `rangeReport` the MA1 octave-range report as the dialog shows it ("" when none); `mmf`
//     the .MMF, or null on failure. `waves` are the wave files the score's A part plays, by
//     the names its file list gives. Beside these, `channels` names the score's part on each
//     of the .MMF's 16 channels ("" for none; all "" on failure): the compiler gives parts
//     their channels, so channel n need not play part n (notes() and render() count channels).
//   dump(mmfBytes, name = "tune.MMF") -> the listing text of quavrexc --dump
//   json(mmfBytes, name = "tune.MMF") -> the text of quavrexc --json
//   midi(mmfBytes) -> the bytes quavrexc --midi writes for an .MMF, or null (no notes)
//   wav(mmfBytes, rate = 44100) -> the bytes quavrexc --wav writes, or null (not playable)
//   version -> a promise of the program's version, "1.4.0" (a property, not a function)
//
// For the page's own user interface, window.quavrex.page (promises too):
//   render(mmfBytes, rate = 44100, mutedParts = []) -> Float32Array, mono PCM at `rate`, as
//     --wav renders it; mutedParts lists the parts left out of the mix: numbers (or strings)
//     1-16 for the .MMF's channels as the listing numbers them, "A"
//     for the audio track. Muted parts play on silently, so a solo is "mute all others"; with
//     parts muted the quiet end is kept, so every choice of them gives as many samples.
//     Rejects with an Error whose message is the renderer's (UTF-8) when it cannot play.
//   notes(mmfBytes) -> [{part (the .MMF's channel, 1-16; compile()'s `channels` names its part
//     in the score), startSec, endSec, pitch (MIDI key, 60 = O4 C; fractional
//     for frequency-mode notes), glide: [[sec, pitch], ...] for a frequency-mode note whose
//     pitch moves (slurs, portamento), else null}], from the .MMF's channels (the audio
//     track's waves are no notes).
//   parts(mmfBytes) -> the parts that sound: ["1", ..., "16", "A"] as render's mutedParts name
//     them, in channel order, "A" last.
//   midiToScore(bytes, name = "song.mid", {format: "ma1"|"ma2"})
//       -> {score: Uint8Array (Shift-JIS .mml text, or null), log}
//     as the dialog converts a dropped MIDI file: `log` is the conversion's line.
//   durationSec(mmfBytes) -> the tune's length in seconds without release tails, or null when
//     it cannot be played.
//   lastLog -> the log line of the last midi() or wav() (UTF-8), e.g. why nothing was made.
//   readyMs -> when the module was ready, in milliseconds from the page's start
//     (performance.now()), or null before.
//   ready -> a promise that settles when the module has loaded.
//
// The module runs on the page's thread, one call at a time; calls wait for the module to load.
(function () {
  "use strict";

  const script = document.currentScript;
  const base = script && script.src ? script.src.replace(/[^/]*$/, "") : "";
  const utf8 = new TextDecoder("utf-8");
  const encoder = new TextEncoder();

  const ready = new Promise((resolve, reject) => {
    const tag = document.createElement("script");
    tag.src = base + "quavrex.js";
    tag.onload = () => {
      QuavrexModule({ locateFile: (file) => base + file }).then(resolve, reject);
    };
    tag.onerror = () => reject(new Error("quavrex.js could not be loaded"));
    document.head.appendChild(tag);
  });

  function asBytes(value) {
    if (value instanceof Uint8Array) return value;
    if (value instanceof ArrayBuffer) return new Uint8Array(value);
    if (ArrayBuffer.isView(value)) {
      return new Uint8Array(value.buffer, value.byteOffset, value.byteLength);
    }
    if (typeof value === "string") return encoder.encode(value);
    if (Array.isArray(value)) return Uint8Array.from(value);
    throw new TypeError("bytes expected (Uint8Array, ArrayBuffer or array of numbers)");
  }

  // Copies `list` of byte arrays into the module's memory, calls fn(pointer, length, ...)
  // and frees them again.
  function withBuffers(m, list, fn) {
    const pointers = list.map((bytes) => {
      const pointer = m._qx_alloc(bytes.length);
      m.HEAPU8.set(bytes, pointer);
      return pointer;
    });
    try {
      const args = [];
      list.forEach((bytes, k) => args.push(pointers[k], bytes.length));
      return fn(...args);
    } finally {
      pointers.forEach((pointer) => m._qx_free(pointer));
    }
  }

  function resultText(m) {
    const pointer = m._qx_text_ptr();
    return utf8.decode(m.HEAPU8.subarray(pointer, pointer + m._qx_text_len()));
  }

  function resultBytes(m) {
    const pointer = m._qx_bytes_ptr();
    return m.HEAPU8.slice(pointer, pointer + m._qx_bytes_len());
  }

  // A call that ran out of memory: its promise rejects with the message.
  function check(m, status) {
    if (status < 0) throw new Error(resultText(m));
    return status;
  }

  function rateOf(rate) {
    const value = rate === undefined ? 44100 : Number(rate);
    if (!Number.isInteger(value) || value < 8000 || value > 192000) {
      throw new RangeError("rate must be a whole number of 8000-192000 Hz");
    }
    return value;
  }

  const api = {
    version: null,
    ready: ready.then(() => undefined),

    async compile(bytes, options = {}) {
      const m = await ready;
      const score = asBytes(bytes);
      const name = encoder.encode(options.name === undefined ? "score.mml" : String(options.name));
      const encodings = { auto: 0, sjis: 1, "utf-8": 2 };
      const encoding = encodings[options.encoding === undefined ? "auto" : options.encoding];
      if (encoding === undefined) throw new RangeError('encoding must be "auto", "sjis" or "utf-8"');
      const format = options.format === undefined ? "ma1" : options.format;
      if (format !== "ma1" && format !== "ma2") throw new RangeError('format must be "ma1" or "ma2"');
      const flags =
        (format === "ma2" ? 1 : 0) |
        (options.octaveCheck ? 2 : 0) |
        (options.voiceSetup ? 4 : 0) |
        (options.ezget === undefined || options.ezget ? 8 : 0);
      for (const [waveName, waveBytes] of Object.entries(options.waves || {})) {
        withBuffers(m, [encoder.encode(waveName), asBytes(waveBytes)], (np, nl, dp, dl) =>
          check(m, m._qx_add_wave(np, nl, dp, dl)));
      }
      const written = withBuffers(m, [name, score], (np, nl, sp, sl) =>
        check(m, m._qx_compile(np, nl, sp, sl, flags, encoding)));
      const outcome = JSON.parse(resultText(m));
      return {
        log: outcome.log,
        diagnostics: outcome.diagnostics,
        rangeReport: outcome.rangeReport,
        mmf: written === 1 ? resultBytes(m) : null,
        channels: outcome.channels,
      };
    },

    async dump(mmfBytes, name = "tune.MMF") {
      const m = await ready;
      withBuffers(m, [asBytes(mmfBytes), encoder.encode(String(name))], (p, l, np, nl) =>
        check(m, m._qx_listing(p, l, np, nl, 0)));
      return resultText(m);
    },

    async json(mmfBytes, name = "tune.MMF") {
      const m = await ready;
      withBuffers(m, [asBytes(mmfBytes), encoder.encode(String(name))], (p, l, np, nl) =>
        check(m, m._qx_listing(p, l, np, nl, 1)));
      return resultText(m);
    },

    async midi(mmfBytes) {
      const m = await ready;
      const made = withBuffers(m, [asBytes(mmfBytes)], (p, l) => check(m, m._qx_export(p, l, 0, 0)));
      api.page.lastLog = resultText(m);
      return made === 1 ? resultBytes(m) : null;
    },

    async wav(mmfBytes, rate) {
      const m = await ready;
      const value = rateOf(rate);
      const made = withBuffers(m, [asBytes(mmfBytes)], (p, l) =>
        check(m, m._qx_export(p, l, 1, value)));
      api.page.lastLog = resultText(m);
      return made === 1 ? resultBytes(m) : null;
    },

    page: {
      lastLog: "",
      readyMs: null,

      async render(mmfBytes, rate, mutedParts = []) {
        const m = await ready;
        const value = rateOf(rate);
        const muted = encoder.encode(Array.from(mutedParts, String).join(","));
        const rendered = withBuffers(m, [asBytes(mmfBytes), muted], (p, l, mp, ml) =>
          check(m, m._qx_render(p, l, value, mp, ml)));
        if (rendered !== 1) throw new Error(resultText(m));
        const bytes = resultBytes(m);
        return new Float32Array(bytes.buffer, bytes.byteOffset, bytes.byteLength / 4);
      },

      async notes(mmfBytes) {
        const m = await ready;
        withBuffers(m, [asBytes(mmfBytes)], (p, l) => check(m, m._qx_notes(p, l)));
        return JSON.parse(resultText(m));
      },

      async parts(mmfBytes) {
        const notes = await api.page.notes(mmfBytes);
        const channels = new Set(notes.map((note) => note.part));
        const parts = [...channels].sort((a, b) => a - b).map(String);
        const json = JSON.parse(await api.json(mmfBytes));
        const audio = json.audio && json.audio.events.some((event) => event.kind === "wave");
        return audio ? parts.concat(["A"]) : parts;
      },

      async midiToScore(bytes, name = "song.mid", options = {}) {
        const m = await ready;
        const ma2 = options.format === "ma2" ? 1 : 0;
        const made = withBuffers(m, [asBytes(bytes), encoder.encode(String(name))], (p, l, np, nl) =>
          check(m, m._qx_midi_to_score(p, l, np, nl, ma2)));
        return { score: made === 1 ? resultBytes(m) : null, log: resultText(m) };
      },

      async durationSec(mmfBytes) {
        const m = await ready;
        const seconds = withBuffers(m, [asBytes(mmfBytes)], (p, l) => m._qx_duration(p, l));
        return seconds < 0 ? null : seconds;
      },
    },
  };

  ready.then(() => {
    api.page.readyMs = performance.now();
  });
  api.version = ready.then((m) => {
    m._qx_version();
    return resultText(m);
  });

  window.quavrex = api;
})();
