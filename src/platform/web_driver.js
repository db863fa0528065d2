// The page's half of the browser driver: the window on the screen and its
// scale, keys, taps and full screen, loading with progress, the start and
// end screens, the failure panel, the music player with the position being
// heard and the show's clock kept to it, and the fixed-clock mode that tests
// compare with the offline capture.
const ScreenWidth = 640;
const ScreenHeight = 480;
const BandTop = 80;
const BandHeight = 320;
// What is shown of the screen: rows 60 to 419, the band and 20 rows of black
// above and below it, which makes 16:9.
const WindowTop = 60;
const WindowHeight = 360;
// Below this share of the exact fit's width a whole-number scale wastes too
// much of the output, and the exact fit is taken instead.
const IntegerScaleShare = 0.85;
const TimerPeriodMs = 10;
const Caption = "ORVANTI / KAMBRI";
const KeyEscape = 27;
const KeyF10 = 0x79;
// How much played-position history is kept: far more than any output latency.
const HistorySeconds = 4;
// How much of the music's render time the show's clock may owe (the render
// clock moves in steps of the audio device's callbacks): one tick.
const ClockAllowanceMs = 20;
const EndButtonMs = 4000;
const PlayerStartMs = 10000;
const PlayerFolder = "chiptune3/";
const WorkletFile = `${PlayerFolder}chiptune3.worklet.js`;
const LibraryFile = `${PlayerFolder}libopenmpt.worklet.js.gz`;

const Stage = document.getElementById("stage");
const Canvas = document.getElementById("screen");
const Painter = Canvas.getContext("2d");
const Screen = Painter.createImageData(ScreenWidth, ScreenHeight);
const Overlay = document.getElementById("overlay");
const Panel = document.getElementById("panel");
const EndButton = document.getElementById("end");
const Touch = window.matchMedia("(pointer: coarse)").matches || navigator.maxTouchPoints > 0;

// ?fixed=TRACE: no sound; frame n gets the clock and position of line n of
// the capture's --trace file (see start_fixed_show).
const FixedTrace = new URLSearchParams(location.search).get("fixed");

// What a test or a person can read from outside: state "loading", "title",
// "running", "ended" or "failed"; the bytes loaded of the total; every
// failure reported in the panel.
const Status = {
    state: "loading", exit_status: null, message: "", loaded: 0, total: 0, unknown_lengths: 0,
    start_requested: false, failures: [], scale: 0,
};
window.orvantiStatus = Status;

let Runtime = null;
let TimerPending = null;
let PlayerClass = null;
let WorkletUrl = null;

const Music = {
    context: null,
    player: null,
    bytes: null,
    // {module_time, position} of each rendered block, oldest first.
    history: [],
    end_time: null,
    failure: "",
    lead: Infinity,
    lead_low: Infinity,
    lead_high: -Infinity,
};

// The show's millisecond clock in the page: real time, spent out of the time
// the music's render clock has advanced, of which at most ClockAllowanceMs
// is kept unspent. While the music cannot play (page frozen, audio
// suspended) the show stands still too, and on waking it has at most that
// allowance to catch up with, so it rejoins the music within a tick.
const Clock = { ms: 0, last_real: null, last_audio: 0, credit: 0 };

function audio_ms() {
    return Music.context ? Music.context.currentTime * 1000 : 0;
}

// The clock's next reading at real and audio, without taking it.
function clock_step(real, audio) {
    if (Clock.last_real === null)
        return { ms: Clock.ms, credit: Clock.credit };
    const credit = Clock.credit + Math.max(0, audio - Clock.last_audio);
    const step = Math.min(real - Clock.last_real, credit);
    return { ms: Clock.ms + step, credit: Math.min(ClockAllowanceMs, credit - step) };
}

function show_clock_ms() {
    const real = performance.now(), audio = audio_ms();
    Object.assign(Clock, clock_step(real, audio), { last_real: real, last_audio: audio });
    return Math.floor(Clock.ms);
}

// The window's scale in device pixels: the largest whole number that fits,
// unless the exact fit is more than 1/0.85 times wider.
function window_scale(width, height) {
    const exact = Math.min(width / ScreenWidth, height / WindowHeight);
    const whole = Math.floor(exact);
    return whole >= 1 && whole >= IntegerScaleShare * exact ? whole : exact;
}

// Placed on whole device pixels, so that every screen pixel covers the same
// number of them.
function lay_out() {
    const ratio = window.devicePixelRatio || 1;
    const output_width = Math.round(window.innerWidth * ratio), output_height = Math.round(window.innerHeight * ratio);
    const scale = window_scale(output_width, output_height);
    Status.scale = scale;
    const width = Math.round(ScreenWidth * scale), height = Math.round(WindowHeight * scale);
    const css = (pixels) => `${pixels / ratio}px`;
    for (const element of [Canvas, Overlay]) {
        element.style.width = css(width);
        element.style.height = css(height);
        element.style.left = css(Math.floor((output_width - width) / 2));
        element.style.top = css(Math.floor((output_height - height) / 2));
    }
    Overlay.style.fontSize = `${Math.max(11, Math.min(22, (WindowHeight * scale) / ratio / 24))}px`;
}
window.addEventListener("resize", lay_out);
lay_out();

// The screen's rows of the window are what the canvas holds.
function paint_screen() {
    Painter.putImageData(Screen, 0, -WindowTop, 0, WindowTop, ScreenWidth, WindowHeight);
}

function show_overlay(parts) {
    Overlay.replaceChildren(...parts);
    Overlay.hidden = parts.length === 0;
}

function element(tag, text, class_name) {
    const made = document.createElement(tag);
    if (text)
        made.textContent = text;
    if (class_name)
        made.className = class_name;
    return made;
}

function about_line() {
    const line = element("p", "A real-time demo: every pixel drawn by its own software renderer, its music made by " +
        "its own generator. Music player: chiptune3 and libopenmpt, ", "about");
    const link = element("a", "MIT and BSD licences");
    link.href = `${PlayerFolder}LICENSE`;
    line.append(link, ".");
    return line;
}

function hint_line() {
    return Touch ? "A tap on the picture brings up the end button; a double tap: full screen"
        : "Escape ends the show, F or a double click: full screen";
}

// Each failure once, in the panel, by the file it concerns.
function report_failure(subject, reason) {
    const text = `${subject}: ${reason}`;
    if (Status.failures.includes(text))
        return;
    Status.failures.push(text);
    console.error(`${Caption}: ${text}`);
    Panel.append(element("li", text));
    Panel.hidden = false;
}

function fail(subject, reason, exit_status) {
    stop_timer();
    if (Status.state !== "failed") {
        Status.state = "failed";
        Status.exit_status = exit_status;
        Status.message = `${subject}: ${reason}`;
    }
    Stage.classList.remove("running");
    EndButton.hidden = true;
    report_failure(subject, reason);
    if (Music.context && Music.context.state === "running")
        Music.context.suspend();
    draw_backdrop();
    show_overlay([element("h1", "ORVANTI"), element("p", "The show cannot start: the reason is below.")]);
}

// The routines the C++ side calls (EM_JS in web_display.cpp, web_audio.cpp and web_platform.cpp).
window.OrvantiPage = {
    open_canvas() {
        return Painter !== null;
    },
    present(rgba) {
        Screen.data.set(rgba);
        paint_screen();
    },
    hide_cursor() {
        Stage.classList.add("running");
    },
    message_box(caption, text) {
        fail(caption, text, Status.exit_status);
    },
    now_ms() {
        return show_clock_ms();
    },
    music_ready() {
        return Music.player !== null && Music.context.state !== "closed";
    },
    music_check(path) {
        if (Music.failure)
            return Music.failure;
        return Music.bytes ? "" : `${path}: not loaded`;
    },
    music_play() {
        Music.history = [];
        Music.end_time = null;
        Music.lead = Infinity;
        Music.player.play(Music.bytes.slice(0));
        return true;
    },
    music_position() {
        return heard_position();
    },
    music_finished() {
        return Music.end_time !== null && heard_time() >= Music.end_time;
    },
    music_stop() {
        if (Music.player)
            Music.player.stop();
        if (Music.context && Music.context.state === "running")
            Music.context.suspend();
    },
};

// The worklet reports the position after each block it renders, with the
// module time reached. Render clock and module time advance together, so
// their difference (the lead) is constant but for how late a report reaches
// the page; the smallest lead seen is the one least delayed, and a report
// belongs to the render clock at its module time plus that lead. What is
// heard now was rendered the output's latency ago.
function output_latency() {
    const context = Music.context;
    return (context.baseLatency || 0) + (context.outputLatency || 0);
}

function heard_time() {
    return Music.context.currentTime - output_latency();
}

function heard_position() {
    const rendered_by = heard_time() - Music.lead;
    const history = Music.history;
    let position = 0;
    for (let i = history.length - 1; i >= 0; i--) {
        if (history[i].module_time <= rendered_by) {
            position = history[i].position;
            break;
        }
    }
    return position;
}

function note_played(report) {
    const time = Music.context.currentTime;
    const lead = time - report.pos;
    Music.lead = Math.min(Music.lead, lead);
    // The spread of the lead, the first second (the worklet's start-up) left
    // out, is the delay the smallest lead takes away.
    if (report.pos > 1) {
        Music.lead_low = Math.min(Music.lead_low, lead);
        Music.lead_high = Math.max(Music.lead_high, lead);
    }
    Music.history.push({ module_time: report.pos, position: (report.order & 0xffff) | (report.row << 16) });
    while (Music.history.length > 2 && Music.history[1].module_time < report.pos - HistorySeconds)
        Music.history.shift();
}

window.orvantiMusic = () => {
    if (!Music.context)
        return null;
    const position = heard_position();
    return { order: position & 0xffff, row: position >>> 16, latency: output_latency(), state: Music.context.state,
        stamp_spread: Music.lead_high - Music.lead_low,
        // The module time being heard and the show's clock, in milliseconds.
        heard_ms: (heard_time() - Music.lead) * 1000, clock_ms: Clock.ms,
        // The render clock, and the show's clock as it would read now.
        render_ms: audio_ms(), clock_now_ms: clock_step(performance.now(), audio_ms()).ms };
};

// Made inside the viewer's first click or tap, so the browser lets it sound.
function open_audio() {
    if (!Music.context)
        Music.context = new AudioContext();
}

// The player's worklet imports its library, which the site holds gzipped:
// both are loaded from memory, the import pointed at the inflated library.
function make_worklet_url(worklet, library) {
    const blob_url = (bytes) => URL.createObjectURL(new Blob([bytes], { type: "text/javascript" }));
    const text = new TextDecoder().decode(worklet);
    const pointed = text.replace(/(["'])\.\/libopenmpt\.worklet\.js\1/, JSON.stringify(blob_url(library)));
    if (pointed === text)
        throw Object.assign(new Error("does not import ./libopenmpt.worklet.js"), { subject: WorkletFile });
    return blob_url(pointed);
}

// The worklet is added here, so that a broken one is reported by name; the
// player's own adding of it (by its file name) is answered as done.
async function open_player() {
    const context = Music.context;
    try {
        await context.audioWorklet.addModule(WorkletUrl);
    } catch (error) {
        throw Object.assign(new Error(`the music player's worklet does not load (${error.message || error})`),
            { subject: `${WorkletFile} with ${LibraryFile}` });
    }
    context.audioWorklet.addModule = () => Promise.resolve();
    await new Promise((resolve, reject) => {
        const player = new PlayerClass({ repeatCount: 0, context });
        player.gain.connect(context.destination);
        const timer = setTimeout(() => reject(new Error("the music player did not start")), PlayerStartMs);
        player.onInitialized(() => {
            clearTimeout(timer);
            Music.player = player;
            resolve();
        });
        player.onProgress((report) => note_played(report));
        player.onEnded(() => {
            if (Music.end_time === null)
                Music.end_time = Music.context.currentTime;
        });
        player.onError((error) => {
            Music.failure = `cannot play orvanti.xm: the player reports ${error.type}`;
        });
    });
}

function stop_timer() {
    if (TimerPending !== null)
        clearTimeout(TimerPending);
    TimerPending = null;
}

// One pending timer at most: the next is set only once a step has run, so a
// slow frame lowers the rate instead of queueing frames.
function start_timer() {
    TimerPending = setTimeout(timer_step, TimerPeriodMs);
}

function timer_step() {
    TimerPending = null;
    if (Music.failure) {
        Runtime._web_stop_show();
        fail("music", Music.failure, 5);
        return;
    }
    if (call_show(() => Runtime._web_step_show()))
        start_timer();
    else if (Status.state === "running")
        show_end();
}

// Runs a step of the show; a fault of the runtime is shown, then thrown on.
function call_show(step) {
    try {
        return step();
    } catch (error) {
        fail("orvanti.wasm", `the show stopped: ${error}`, 1);
        throw error;
    }
}

function end_by_key(system, key) {
    const running = call_show(() => Runtime._web_key(system, key));
    if (!running && Status.state === "running")
        show_end();
}

// The show has ended (web_step_show or web_key did end_show). Full screen is
// kept: the end screen is drawn in the same window.
function show_end() {
    stop_timer();
    Status.state = "ended";
    Status.exit_status = 0;
    Stage.classList.remove("running");
    EndButton.hidden = true;
    draw_backdrop();
    const again = element("button", "Play again");
    again.addEventListener("click", () => location.reload());
    show_overlay([element("h1", "ORVANTI"), element("p", "The show is over."), again, about_line()]);
}

function toggle_fullscreen() {
    if (document.fullscreenElement)
        document.exitFullscreen().catch(() => {});
    else if (Stage.requestFullscreen)
        Stage.requestFullscreen().catch(() => {});
}

window.addEventListener("keydown", (event) => {
    if (event.key === "f" || event.key === "F") {
        toggle_fullscreen();
        return;
    }
    if (Status.state !== "running" || FixedTrace !== null)
        return;
    if (event.key === "Escape")
        end_by_key(0, KeyEscape);
    else if (event.key === "F10" || event.altKey)
        end_by_key(1, event.key === "F10" ? KeyF10 : event.keyCode);
    else
        return;
    event.preventDefault();
});
Stage.addEventListener("dblclick", toggle_fullscreen);

// A tap during the show brings up the end button for a while: a touch
// screen has no Escape.
let EndButtonTimer = null;
Stage.addEventListener("pointerup", (event) => {
    if (event.pointerType !== "touch" || Status.state !== "running" || event.target === EndButton)
        return;
    EndButton.hidden = false;
    clearTimeout(EndButtonTimer);
    EndButtonTimer = setTimeout(() => { EndButton.hidden = true; }, EndButtonMs);
});
EndButton.addEventListener("click", () => {
    if (Status.state === "running")
        end_by_key(0, KeyEscape);
});

// The title's backdrop: the band as a blue glow, black around it.
function draw_backdrop() {
    Painter.fillStyle = "#000";
    Painter.fillRect(0, 0, ScreenWidth, WindowHeight);
    const top = BandTop - WindowTop;
    const glow = Painter.createLinearGradient(0, top, 0, top + BandHeight);
    glow.addColorStop(0, "#081830");
    glow.addColorStop(0.5, "#2a4a7a");
    glow.addColorStop(1, "#081830");
    Painter.fillStyle = glow;
    Painter.fillRect(0, top, ScreenWidth, BandHeight);
}

const ProgressBar = element("div");
const ProgressText = element("p");

function draw_title() {
    draw_backdrop();
    const bar = element("div");
    bar.id = "progress";
    bar.append(ProgressBar);
    const action = Touch ? "tap to start" : "click to start";
    ProgressText.textContent = Status.state === "title" ? action : "loading";
    show_overlay([element("h1", "ORVANTI"), ProgressText, bar, element("p", hint_line()), about_line()]);
}

function show_progress() {
    const megabytes = (bytes) => (bytes / 1e6).toFixed(1);
    if (Status.state === "loading") {
        const share = Status.total > 0 && Status.unknown_lengths === 0 ? Math.min(1, Status.loaded / Status.total) : 0;
        ProgressBar.style.width = `${(share * 100).toFixed(1)}%`;
        ProgressText.textContent = (Status.unknown_lengths === 0 ? `loading ${megabytes(Status.loaded)} of ` +
            `${megabytes(Status.total)} MB` : `loading ${megabytes(Status.loaded)} MB`) +
            (Status.start_requested ? ": the show starts once loaded" : "");
    } else if (Status.state === "title") {
        ProgressBar.style.width = "100%";
        ProgressText.textContent = Touch ? "tap to start" : "click to start";
    }
}

// Fetches one file, counting its bytes into the progress; a .gz file is
// inflated. A failure names the file and the HTTP status or the reason.
async function fetch_file(name) {
    let response;
    try {
        response = await fetch(name);
    } catch (error) {
        throw Object.assign(new Error(`cannot be fetched (${error.message})`), { subject: name });
    }
    if (!response.ok)
        throw Object.assign(new Error(`HTTP ${response.status} ${response.statusText}`.trim()), { subject: name });
    // A length counts only where it is that of the bytes read: not when the
    // server compressed the transfer itself.
    const length = response.headers.get("Content-Encoding") ? 0 : Number(response.headers.get("Content-Length")) || 0;
    Status.total += length;
    if (length === 0)
        Status.unknown_lengths++;
    show_progress();
    const chunks = [];
    const reader = response.body.getReader();
    let got = 0;
    for (;;) {
        let part;
        try {
            part = await reader.read();
        } catch (error) {
            throw Object.assign(new Error(`the transfer broke off (${error.message})`), { subject: name });
        }
        if (part.done)
            break;
        chunks.push(part.value);
        got += part.value.length;
        Status.loaded += part.value.length;
        show_progress();
    }
    if (length === 0) {
        Status.total += got;
        Status.unknown_lengths--;
        show_progress();
    }
    let blob = new Blob(chunks);
    // A host that labels .gz files as gzip-encoded has the browser inflate
    // them already: only what still starts with gzip's magic is inflated.
    const magic = new Uint8Array(await blob.slice(0, 2).arrayBuffer());
    const gzipped = magic[0] === 0x1f && magic[1] === 0x8b;
    if (name.endsWith(".gz") && gzipped) {
        try {
            blob = await new Response(blob.stream().pipeThrough(new DecompressionStream("gzip"))).blob();
        } catch (error) {
            throw Object.assign(new Error(`not gzip data, or cut short (${error.message || error})`), { subject: name });
        }
    }
    return new Uint8Array(await blob.arrayBuffer());
}

function load_runtime(program_text, wasm_bytes) {
    return new Promise((resolve, reject) => {
        const refuse = (what) => reject(Object.assign(new Error(what), { subject: "orvanti.wasm.gz" }));
        window.Module = {
            locateFile: (name) => name,
            instantiateWasm(imports, receive) {
                WebAssembly.instantiate(wasm_bytes, imports)
                    .then((result) => receive(result.instance))
                    .catch((error) => refuse(`not a WebAssembly program this page can run (${error.message})`));
                return {};
            },
            onRuntimeInitialized() {
                resolve(window.Module);
            },
            onAbort: (what) => refuse(`the WebAssembly runtime stopped: ${what}`),
            // What the desktop prints on standard error, such as a load failure.
            printErr(text) {
                Status.message = text;
                console.error(text);
            },
        };
        const script = document.createElement("script");
        script.textContent = new TextDecoder().decode(program_text);
        window.addEventListener("error", (event) => {
            if (event.filename === location.href && Runtime === null)
                reject(Object.assign(new Error(`does not run: ${event.message}`), { subject: "orvanti.js" }));
        }, { once: true });
        document.body.append(script);
    });
}

// Everything is fetched at once; the show's clock and data wait for the
// runtime. A failure of any file is reported as it happens.
async function load_everything() {
    const named = (promise, subject) => promise.catch((error) => {
        error.subject = error.subject || subject;
        throw error;
    });
    const program = fetch_file("orvanti.js");
    const wasm = fetch_file("orvanti.wasm.gz");
    const archive = fetch_file("orvanti.dat.gz");
    const music = FixedTrace === null ? fetch_file("orvanti.xm.gz") : Promise.resolve(null);
    const worklet = FixedTrace === null
        ? Promise.all([fetch_file(WorkletFile), fetch_file(LibraryFile)]).then(([w, l]) => make_worklet_url(w, l))
        : Promise.resolve(null);
    const player = FixedTrace === null
        ? named(import(`./${PlayerFolder}chiptune3.js`), `${PlayerFolder}chiptune3.js`).catch(async (error) => {
            let reason = `does not load (${error.message})`;
            try {
                const response = await fetch(`${PlayerFolder}chiptune3.js`, { cache: "no-store" });
                if (!response.ok)
                    reason = `HTTP ${response.status} ${response.statusText}`.trim();
            } catch (_) {
                reason = "cannot be fetched";
            }
            throw Object.assign(new Error(reason), { subject: `${PlayerFolder}chiptune3.js` });
        })
        : Promise.resolve(null);
    const all = [program, wasm, archive, music, player, worklet];
    // Every failure is reported, not just the first.
    for (const pending of all)
        pending.catch((error) => report_failure(error.subject || "the page", error.message));
    const runtime = Promise.all([program, wasm]).then(([text, bytes]) => load_runtime(text, bytes));
    const [loaded_runtime, archive_bytes, music_bytes, player_module, worklet_url] =
        await Promise.all([runtime, archive, music, player, worklet]);
    WorkletUrl = worklet_url;
    loaded_runtime.FS.writeFile("orvanti.dat", archive_bytes);
    Music.bytes = music_bytes;
    PlayerClass = player_module ? player_module.ChiptuneJsPlayer : null;
    return loaded_runtime;
}

async function start_show() {
    Status.state = "starting";
    show_overlay([]);
    try {
        await open_player();
    } catch (error) {
        fail(error.subject || "music", `Can't initialize device (${error.message})`, 4);
        return;
    }
    await Music.context.resume();
    Status.state = "running";
    const status = call_show(() => Runtime._web_begin_show(0));
    if (status !== 0) {
        if (Status.state === "running")
            fail("orvanti.dat", Status.message || `set-up failed with status ${status}`, status);
        return;
    }
    start_timer();
}

// The fixed-clock mode: frames are drawn on request, in order, as fast as
// they come; a test reads the screen between them. Trace lines come from the
// file named by ?fixed=, or from the test through add_trace as the capture
// writes them (?fixed with no file).
function start_fixed_show(trace_text) {
    const frames = [];
    const add_trace = (text) => {
        for (const line of text.split("\n")) {
            const fields = line.split(",");
            if (fields.length >= 4 && fields[0] !== "frame")
                frames.push({ milliseconds: Number(fields[1]), order: Number(fields[2]), row: Number(fields[3]) });
        }
        return frames.length;
    };
    add_trace(trace_text);
    const status = call_show(() => Runtime._web_begin_show(1));
    if (status !== 0) {
        if (Status.state !== "failed")
            fail("orvanti.dat", Status.message || `set-up failed with status ${status}`, status);
        return;
    }
    let next = 0;
    const draw_until = (last) => {
        for (; next <= last && next < frames.length; next++) {
            const frame = frames[next];
            Runtime._web_draw_fixed_frame(frame.milliseconds, frame.order, frame.row);
        }
        return next - 1;
    };
    window.orvantiFixed = {
        add_trace,
        // Draws every frame up to `last` that the trace has; the number of the
        // last one drawn.
        draw_until,
        // The band of the last frame drawn, RGBA bytes in base64.
        band_base64() {
            Runtime._web_present_screen();
            return band_base64();
        },
        // Draws the remaining frames; their count and the milliseconds taken.
        time_rest() {
            const first = next;
            const began = performance.now();
            draw_until(frames.length - 1);
            const milliseconds = performance.now() - began;
            Runtime._web_present_screen();
            return { frames: next - first, milliseconds };
        },
    };
    show_overlay([]);
    Status.state = "running";
}

// The band as last presented, RGBA bytes in base64.
function band_base64() {
    const start = BandTop * ScreenWidth * 4;
    const band = Screen.data.subarray(start, start + BandHeight * ScreenWidth * 4);
    let binary = "";
    for (let i = 0; i < band.length; i += 0x8000)
        binary += String.fromCharCode.apply(null, band.subarray(i, i + 0x8000));
    return btoa(binary);
}
window.orvantiBand = band_base64;

function request_start() {
    if (FixedTrace !== null)
        return;
    if (Status.state === "title") {
        open_audio();
        start_show();
    } else if (Status.state === "loading" && !Status.start_requested) {
        open_audio();
        Status.start_requested = true;
        show_progress();
    }
}

async function open_page() {
    draw_title();
    Stage.addEventListener("click", (event) => {
        if (event.target !== EndButton)
            request_start();
    });
    let loaded;
    try {
        loaded = await load_everything();
    } catch (error) {
        fail(error.subject || "the page", error.message, 2);
        return;
    }
    Runtime = loaded;
    if (FixedTrace !== null) {
        try {
            start_fixed_show(FixedTrace ? new TextDecoder().decode(await fetch_file(FixedTrace)) : "");
        } catch (error) {
            fail(error.subject || FixedTrace, error.message, 2);
        }
        return;
    }
    Status.state = "title";
    show_progress();
    if (Status.start_requested)
        start_show();
}

open_page();
