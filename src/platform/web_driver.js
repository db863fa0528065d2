// The page's half of the browser driver: canvas, keys, full screen, the start
// and end screens, failure messages, the music player with the position being
// heard, and the fixed-clock mode that tests compare with the offline capture.
import { ChiptuneJsPlayer } from "./chiptune3/chiptune3.js";

const ScreenWidth = 640;
const ScreenHeight = 480;
const BandTop = 80;
const BandHeight = 320;
const TimerPeriodMs = 10;
const Caption = "ORVANTI / KAMBRI";
const KeyEscape = 27;
const KeyF10 = 0x79;
// How much played-position history is kept: far more than any output latency.
const HistorySeconds = 4;

const Stage = document.getElementById("stage");
const Canvas = document.getElementById("screen");
const Painter = Canvas.getContext("2d");
const Screen = Painter.createImageData(ScreenWidth, ScreenHeight);
const Message = document.getElementById("message");

// ?fixed=TRACE: no sound; frame n gets the clock and position of line n of
// the capture's --trace file (see start_fixed_show).
const FixedTrace = new URLSearchParams(location.search).get("fixed");

// What a test or a person can read from outside: "loading", "title",
// "running", "ended" or "failed".
const Status = { state: "loading", exit_status: null, message: "" };
window.orvantiStatus = Status;

let Runtime = null;
let TimerPending = null;

const Music = {
    context: null,
    player: null,
    bytes: null,
    reason: "not fetched",
    // {module_time, position} of each rendered block, oldest first.
    history: [],
    end_time: null,
    failure: "",
    lead: Infinity,
    lead_low: Infinity,
    lead_high: -Infinity,
};

function show_message(title, text, button) {
    Message.replaceChildren();
    if (title) {
        const heading = document.createElement("h1");
        heading.textContent = title;
        Message.append(heading);
    }
    if (text) {
        const line = document.createElement("p");
        line.textContent = text;
        Message.append(line);
    }
    if (button) {
        const control = document.createElement("button");
        control.textContent = button.label;
        control.addEventListener("click", button.action);
        Message.append(control);
    }
    Message.hidden = false;
}

function fail(text, exit_status) {
    stop_timer();
    Status.state = "failed";
    Status.exit_status = exit_status;
    Status.message = text;
    Canvas.classList.remove("running");
    console.error(`${Caption}: ${text}`);
    show_message(Caption, text);
}

// The routines the C++ side calls (EM_JS in web_display.cpp and web_audio.cpp).
window.OrvantiPage = {
    open_canvas() {
        return Painter !== null;
    },
    present(rgba) {
        Screen.data.set(rgba);
        Painter.putImageData(Screen, 0, 0);
    },
    hide_cursor() {
        Canvas.classList.add("running");
    },
    message_box(caption, text) {
        Status.message = text;
        console.error(`${caption}: ${text}`);
        show_message(caption, text);
    },
    music_ready() {
        return Music.player !== null && Music.context.state !== "closed";
    },
    music_check(path) {
        if (Music.failure)
            return Music.failure;
        return Music.bytes ? "" : `${path}: ${Music.reason}`;
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
        stamp_spread: Music.lead_high - Music.lead_low };
};

function open_player() {
    return new Promise((resolve, reject) => {
        // Made inside the click, so the browser lets it sound.
        const player = new ChiptuneJsPlayer({ repeatCount: 0 });
        Music.context = player.context;
        player.onInitialized(() => {
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
        setTimeout(() => reject(new Error("the music player did not start")), 10000);
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
        fail(Music.failure, 5);
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
        fail(`the show stopped: ${error}`, 1);
        throw error;
    }
}

// The show has ended (web_step_show or web_key did end_show).
function show_end() {
    stop_timer();
    Status.state = "ended";
    Status.exit_status = 0;
    Canvas.classList.remove("running");
    if (document.fullscreenElement)
        document.exitFullscreen();
    Painter.fillStyle = "#000";
    Painter.fillRect(0, 0, ScreenWidth, ScreenHeight);
    show_message(Caption, "The show is over.", { label: "Play again", action: () => location.reload() });
}

function toggle_fullscreen() {
    if (document.fullscreenElement)
        document.exitFullscreen();
    else if (Stage.requestFullscreen)
        Stage.requestFullscreen().catch(() => {});
}

window.addEventListener("keydown", (event) => {
    if (event.key === "f" || event.key === "F") {
        toggle_fullscreen();
        return;
    }
    if (Status.state !== "running")
        return;
    let running = 1;
    if (event.key === "Escape")
        running = call_show(() => Runtime._web_key(0, KeyEscape));
    else if (event.key === "F10" || event.altKey)
        running = call_show(() => Runtime._web_key(1, event.key === "F10" ? KeyF10 : event.keyCode));
    else
        return;
    event.preventDefault();
    if (!running && Status.state === "running")
        show_end();
});
Canvas.addEventListener("dblclick", toggle_fullscreen);

function draw_title() {
    Painter.fillStyle = "#000";
    Painter.fillRect(0, 0, ScreenWidth, ScreenHeight);
    const glow = Painter.createLinearGradient(0, BandTop, 0, BandTop + BandHeight);
    glow.addColorStop(0, "#081830");
    glow.addColorStop(0.5, "#2a4a7a");
    glow.addColorStop(1, "#081830");
    Painter.fillStyle = glow;
    Painter.fillRect(0, BandTop, ScreenWidth, BandHeight);
    Painter.fillStyle = "#e8f0ff";
    Painter.textAlign = "center";
    Painter.font = "bold 48px sans-serif";
    Painter.fillText("ORVANTI", ScreenWidth / 2, 230);
    Painter.font = "18px sans-serif";
    Painter.fillText("click to start", ScreenWidth / 2, 290);
    Painter.fillText("Escape ends the show, F or a double click: full screen", ScreenWidth / 2, 380);
}

async function fetch_bytes(name) {
    const response = await fetch(name);
    if (!response.ok)
        throw new Error(`HTTP ${response.status} ${response.statusText}`.trim());
    return new Uint8Array(await response.arrayBuffer());
}

// A missing archive is left missing, so the loader says what the desktop says.
async function fetch_archive() {
    try {
        Runtime.FS.writeFile("orvanti.dat", await fetch_bytes("orvanti.dat"));
    } catch (error) {
        console.warn(`orvanti.dat: ${error.message}`);
    }
}

function load_runtime() {
    return new Promise((resolve, reject) => {
        window.Module = {
            locateFile: (name) => name,
            onRuntimeInitialized() {
                resolve(window.Module);
            },
            onAbort: (what) => reject(new Error(`the WebAssembly runtime stopped: ${what}`)),
            // What the desktop prints on standard error, such as a load failure.
            printErr(text) {
                Status.message = text;
                console.error(text);
            },
        };
        const script = document.createElement("script");
        script.src = "orvanti.js";
        script.onerror = () => reject(new Error("cannot load orvanti.js"));
        document.body.append(script);
    });
}

async function start_show() {
    Message.hidden = true;
    try {
        await open_player();
    } catch (error) {
        fail(`Can't initialize device (${error.message})`, 4);
        return;
    }
    await Music.context.resume();
    Status.state = "running";
    const status = call_show(() => Runtime._web_begin_show(0));
    if (status !== 0) {
        if (Status.state === "running")
            fail(Status.message || `set-up failed with status ${status}`, status);
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
            fail(Status.message || `set-up failed with status ${status}`, status);
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
            const start = BandTop * ScreenWidth * 4;
            const band = Screen.data.subarray(start, start + BandHeight * ScreenWidth * 4);
            let binary = "";
            for (let i = 0; i < band.length; i += 0x8000)
                binary += String.fromCharCode.apply(null, band.subarray(i, i + 0x8000));
            return btoa(binary);
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
    Status.state = "running";
}

async function open_page() {
    draw_title();
    try {
        Runtime = await load_runtime();
        await fetch_archive();
        if (FixedTrace !== null) {
            start_fixed_show(FixedTrace ? new TextDecoder().decode(await fetch_bytes(FixedTrace)) : "");
            return;
        }
        try {
            Music.bytes = await fetch_bytes("orvanti.xm");
        } catch (error) {
            Music.reason = error.message;
        }
    } catch (error) {
        fail(error.message, 2);
        return;
    }
    Status.state = "title";
    Canvas.addEventListener("click", () => {
        if (Status.state === "title")
            start_show();
    });
}

open_page();
