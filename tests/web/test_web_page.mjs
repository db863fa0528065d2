// The browser page in headless Chromium: its SIMD loops agree with the plain
// ones; in its fixed-clock mode it draws the same bands as orvanti-capture's
// PNGs at 21 frames across all nine scenes; over a throttled line it shows
// its progress and starts on a click given while loading; its music is
// heard moving on, and after the page is frozen and woken the show is still
// in step with it (clock and picture); Escape ends it and the end screen
// works in full screen; a tap brings up an end button on a touch screen;
// a missing file (404) or a broken program is reported once in the panel,
// by name and HTTP status.
//
// node test_web_page.mjs SITE_DIR CAPTURE DATA_DIR WORK_DIR [CHECK_WIDE_LOOPS_JS]
// Exit status 77 (skipped) when /usr/bin/chromium is missing.
import { spawn, spawnSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";

import { Chromium, launch_chromium, load_puppeteer, serve } from "./page_support.mjs";

const SkipStatus = 77;
const ScreenWidth = 640;
const BandTop = 80;
const BandHeight = 320;
// Every 800th frame of the 50 fps show (16129 frames): 0 to 16000, one or more in each scene.
const FrameStep = 800;
const LastCompared = 16000;
const DeadlineMs = 170000;

const [pageDir, capture, dataDir, workDir, wideLoops] = process.argv.slice(2);
if (!workDir) {
    console.error("usage: test_web_page.mjs SITE_DIR CAPTURE DATA_DIR WORK_DIR [CHECK_WIDE_LOOPS_JS]");
    process.exit(2);
}
if (!fs.existsSync(Chromium)) {
    console.log(`test_web_page: skipped: ${Chromium} is not installed (scripts/install-deps.sh installs it)`);
    process.exit(SkipStatus);
}
// Every file the page fetches; a 404 of each must be reported.
const SiteFiles = ["web_driver.js", "orvanti.js", "orvanti.wasm.gz", "orvanti.dat.gz", "orvanti.xm.gz",
    "chiptune3/chiptune3.js", "chiptune3/chiptune3.worklet.js", "chiptune3/libopenmpt.worklet.js.gz"];
for (const name of ["index.html", ...SiteFiles]) {
    if (!fs.existsSync(path.join(pageDir, name))) {
        console.error(`test_web_page: ${path.join(pageDir, name)} is missing: build the page first (target web_page)`);
        process.exit(1);
    }
}
const puppeteer = load_puppeteer();

const failures = [];
function check(condition, what) {
    if (!condition)
        failures.push(what);
    return condition;
}

async function poll(what, condition, deadlineMs = 30000) {
    const deadline = Date.now() + deadlineMs;
    for (;;) {
        const value = await condition();
        if (value)
            return value;
        if (Date.now() > deadline)
            throw new Error(`timed out waiting for ${what}`);
        await new Promise((resolve) => setTimeout(resolve, 50));
    }
}

// 8-bit RGB or RGBA, not interlaced: what the capture writes.
function read_png(file) {
    const bytes = fs.readFileSync(file);
    let offset = 8, width = 0, height = 0, channels = 0;
    const data = [];
    while (offset < bytes.length) {
        const length = bytes.readUInt32BE(offset);
        const type = bytes.toString("latin1", offset + 4, offset + 8);
        const body = bytes.subarray(offset + 8, offset + 8 + length);
        if (type === "IHDR") {
            width = body.readUInt32BE(0);
            height = body.readUInt32BE(4);
            if (body[8] !== 8 || (body[9] !== 2 && body[9] !== 6) || body[12] !== 0)
                throw new Error(`${file}: not an 8-bit RGB(A) PNG without interlacing`);
            channels = body[9] === 2 ? 3 : 4;
        } else if (type === "IDAT") {
            data.push(body);
        }
        offset += 12 + length;
    }
    const raw = zlib.inflateSync(Buffer.concat(data));
    const stride = width * channels;
    const pixels = Buffer.alloc(stride * height);
    for (let y = 0; y < height; y++) {
        const filter = raw[y * (stride + 1)];
        const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
        for (let x = 0; x < stride; x++) {
            const left = x >= channels ? pixels[y * stride + x - channels] : 0;
            const up = y > 0 ? pixels[(y - 1) * stride + x] : 0;
            const corner = x >= channels && y > 0 ? pixels[(y - 1) * stride + x - channels] : 0;
            let predicted = 0;
            if (filter === 1) predicted = left;
            else if (filter === 2) predicted = up;
            else if (filter === 3) predicted = (left + up) >> 1;
            else if (filter === 4) {
                const p = left + up - corner;
                const pa = Math.abs(p - left), pb = Math.abs(p - up), pc = Math.abs(p - corner);
                predicted = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
            }
            pixels[y * stride + x] = (line[x] + predicted) & 0xff;
        }
    }
    return { width, height, channels, pixels };
}

function write_rgba_png(file, width, height, rgba) {
    const chunk = (type, body) => {
        const head = Buffer.alloc(8);
        head.writeUInt32BE(body.length, 0);
        head.write(type, 4, "latin1");
        const crc = Buffer.alloc(4);
        crc.writeUInt32BE(zlib.crc32(Buffer.concat([head.subarray(4), body])) >>> 0);
        return Buffer.concat([head, body, crc]);
    };
    const header = Buffer.alloc(13);
    header.writeUInt32BE(width, 0);
    header.writeUInt32BE(height, 4);
    header[8] = 8;
    header[9] = 6;
    const raw = Buffer.alloc((width * 4 + 1) * height);
    for (let y = 0; y < height; y++)
        rgba.copy(raw, y * (width * 4 + 1) + 1, y * width * 4, (y + 1) * width * 4);
    fs.writeFileSync(file, Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk("IHDR", header),
        chunk("IDAT", zlib.deflateSync(raw)), chunk("IEND", Buffer.alloc(0))]));
}

fs.rmSync(workDir, { recursive: true, force: true });
fs.mkdirSync(path.join(workDir, "frames"), { recursive: true });
const tracePath = path.join(workDir, "trace.csv");
const captureLog = [];
const captureRun = spawn(capture, ["--quiet", "--data", dataDir, "--trace", tracePath, "--every", String(FrameStep),
    "--out", path.join(workDir, "frames")], { stdio: ["ignore", "ignore", "pipe"] });
captureRun.stderr.on("data", (text) => captureLog.push(text.toString()));
const captureDone = new Promise((resolve) => captureRun.on("exit", (code) => resolve(code)));
let captureStatus = null;
captureDone.then((code) => { captureStatus = code; });

const server = await serve(path.resolve(pageDir), {});
const origin = `http://127.0.0.1:${server.address().port}`;
const browser = await launch_chromium(puppeteer, workDir);

// `setup` prepares the page (throttling, refused files, a touch screen)
// before it loads. errors: console errors and uncaught ones; uncaught: the
// uncaught ones alone.
async function open_page(query, setup = async () => {}) {
    const page = await browser.newPage();
    const errors = [], uncaught = [];
    page.on("console", (message) => { if (message.type() === "error") errors.push(message.text()); });
    page.on("pageerror", (error) => { errors.push(error.message); uncaught.push(error.message); });
    await page.setViewport({ width: 800, height: 600 });
    await setup(page);
    await page.goto(`${origin}/index.html${query}`, { waitUntil: "domcontentloaded" });
    return { page, errors, uncaught };
}

// A line of `megabits` per second both ways with `latency_ms` of delay.
async function throttle(page, megabits, latency_ms) {
    const cdp = await page.createCDPSession();
    await cdp.send("Network.enable");
    await cdp.send("Network.emulateNetworkConditions", { offline: false, latency: latency_ms,
        downloadThroughput: (megabits * 1e6) / 8, uploadThroughput: (megabits * 1e6) / 8 });
}

// The site with `name` answered by `answer` (status and body) instead.
async function replace_file(page, name, answer) {
    await page.setRequestInterception(true);
    page.on("request", (request) => {
        if (new URL(request.url()).pathname === `/${name}`)
            request.respond({ contentType: "application/octet-stream", ...answer });
        else
            request.continue();
    });
}

const panel_lines = (page) => page.evaluate(() =>
    [...document.querySelectorAll("#panel li")].map((item) => item.textContent));

// Band pixels (RGB) that differ between a capture PNG and the page's RGBA band.
function band_difference(png, band) {
    let differing = 0;
    for (let y = 0; y < BandHeight; y++) {
        for (let x = 0; x < ScreenWidth; x++) {
            const at = ((BandTop + y) * png.width + x) * png.channels;
            const ours = (y * ScreenWidth + x) * 4;
            if (png.pixels[at] !== band[ours] || png.pixels[at + 1] !== band[ours + 1] ||
                png.pixels[at + 2] !== band[ours + 2])
                differing++;
        }
    }
    return differing;
}

const to_rgba = (png) => {
    const rgba = Buffer.alloc(ScreenWidth * BandHeight * 4, 0xff);
    for (let y = 0; y < BandHeight; y++)
        for (let x = 0; x < ScreenWidth; x++)
            png.pixels.copy(rgba, (y * ScreenWidth + x) * 4, ((BandTop + y) * png.width + x) * png.channels,
                ((BandTop + y) * png.width + x) * png.channels + 3);
    return rgba;
};

// The show's clock against the music's render clock, the median of a few
// readings (the render clock moves in steps of the audio callbacks).
const clock_offset = (page) => page.evaluate(async () => {
    const offsets = [];
    for (let i = 0; i < 9; i++) {
        const music = window.orvantiMusic();
        offsets.push(music.clock_now_ms - music.render_ms);
        await new Promise((resolve) => setTimeout(resolve, 7));
    }
    return offsets.sort((a, b) => a - b)[4];
});

try {
    if (wideLoops) {
        const run = spawnSync(process.execPath, [wideLoops], { encoding: "utf8" });
        console.log(run.stdout.trim());
        check(run.status === 0, `the SIMD loops differ from the plain ones: ${run.stdout}${run.stderr}`);
    }

    // Fixed clock: each trace line the capture has written is handed over as
    // it comes, and the band of every compared frame is kept until the
    // capture has finished its PNG files.
    const fixed = await open_page("?fixed");
    await poll("the fixed-clock page", () => fixed.page.evaluate(() => window.orvantiStatus.state !== "loading"));
    check(await fixed.page.evaluate(() => window.orvantiStatus.state === "running"),
        `fixed-clock page did not start: ${await fixed.page.evaluate(() => JSON.stringify(window.orvantiStatus))}`);
    const bands = new Map();
    let sent = 0, pending = "", drawn = -1;
    const deadline = Date.now() + DeadlineMs;
    while (drawn < LastCompared && Date.now() < deadline) {
        const text = fs.existsSync(tracePath) ? fs.readFileSync(tracePath, "latin1") : "";
        const complete = text.lastIndexOf("\n") + 1;
        if (complete > sent) {
            pending = text.slice(sent, complete);
            sent = complete;
            await fixed.page.evaluate((lines) => window.orvantiFixed.add_trace(lines), pending);
        }
        const target = Math.min(LastCompared, (Math.floor(drawn / FrameStep) + 1) * FrameStep);
        const reached = await fixed.page.evaluate((last) => window.orvantiFixed.draw_until(last), target);
        if (reached === target) {
            bands.set(target, Buffer.from(await fixed.page.evaluate(() => window.orvantiFixed.band_base64()), "base64"));
        } else if (reached === drawn) {
            if (captureStatus !== null && complete === sent)
                break;
            await new Promise((resolve) => setTimeout(resolve, 100));
        }
        drawn = reached;
    }
    const status = await captureDone;
    check(status === 0, `orvanti-capture ended with ${status}: ${captureLog.join("")}`);
    check(fixed.errors.length === 0, `fixed-clock page console errors: ${fixed.errors.join(" | ")}`);

    const trace = fs.readFileSync(tracePath, "latin1").split("\n");
    const scenes = new Set();
    for (let frame = 0; frame <= LastCompared; frame += FrameStep) {
        const handler = (trace[frame + 1] || "").split(",")[4] || "?";
        scenes.add(handler.replace(/_[a-z]*_?handler$/, "").replace(/_scene$/, ""));
        const band = bands.get(frame);
        if (!check(band !== undefined, `frame ${frame} (${handler}) was never drawn by the page`))
            continue;
        const png = read_png(path.join(workDir, "frames", `frame_${String(frame).padStart(6, "0")}.png`));
        const differing = band_difference(png, band);
        console.log(`frame ${frame} (${handler}): ${differing} of ${ScreenWidth * BandHeight} band pixels differ`);
        if (!check(differing === 0, `frame ${frame} (${handler}): ${differing} band pixels differ from the capture`))
            write_rgba_png(path.join(workDir, `page_frame_${frame}.png`), ScreenWidth, BandHeight, band);
    }
    check(scenes.size === 9, `the compared frames cover ${scenes.size} scenes (${[...scenes].join(", ")}), not 9`);

    // The 640 by 360 window at a whole-number scale where one fills 85% of
    // the exact fit's width, else at the exact fit, centred.
    for (const [width, height, scale, left, top] of [[1920, 1080, 3, 0, 0], [2560, 1440, 4, 0, 0],
        [1280, 1024, 2, 0, 152], [1024, 768, 1.6, 0, 96], [390, 844, 390 / 640, 0, 312], [1000, 1000, 1.5625, 0, 218]]) {
        await fixed.page.setViewport({ width, height });
        const layout = () => fixed.page.evaluate(() => ({ scale: window.orvantiStatus.scale,
            box: document.getElementById("screen").getBoundingClientRect().toJSON() }));
        const fits = (shown) => Math.abs(shown.scale - scale) < 1e-9 && Math.abs(shown.box.width - 640 * scale) <= 0.5 &&
            Math.abs(shown.box.height - 360 * scale) <= 0.5 && shown.box.left === left && shown.box.top === top;
        // The page lays itself out again on the resize event that follows.
        const shown = await poll(`the layout at ${width}x${height}`, async () => {
            const now = await layout();
            return fits(now) && now;
        }, 5000).catch(async () => layout());
        check(fits(shown), `at ${width}x${height} the window is ${JSON.stringify(shown)}, not ${scale}x at ${left},${top}`);
    }
    await fixed.page.close();

    // Real mode over a slow line: progress, a click while loading that
    // starts the show once loaded, music heard moving on.
    const real = await open_page("", (page) => throttle(page, 10, 40));
    const progress = await poll("the loading progress", () => real.page.evaluate(() => {
        const status = window.orvantiStatus;
        const shown = document.getElementById("overlay").textContent.match(/loading ([0-9.]+) of ([0-9.]+) MB/);
        return status.state === "loading" && status.loaded > 0 && shown && Number(shown[1]) <= Number(shown[2]) &&
            shown[0];
    }));
    await real.page.click("#screen");
    check(await real.page.evaluate(() => window.orvantiStatus.start_requested),
        "a click during loading was not taken as the start");
    console.log(`progress shown ("${progress}"), clicked during loading`);
    await poll("the show to start once loaded, with no second click",
        () => real.page.evaluate(() => window.orvantiStatus.state === "running"), 60000);
    // What the page fetches itself (the browser fetches web_driver.js and imports chiptune3.js).
    const counted = SiteFiles.filter((name) => name !== "web_driver.js" && name !== "chiptune3/chiptune3.js")
        .reduce((sum, name) => sum + fs.statSync(path.join(pageDir, name)).size, 0);
    const bytes = await real.page.evaluate(() => [window.orvantiStatus.loaded, window.orvantiStatus.total]);
    check(bytes[0] === counted && bytes[1] === counted,
        `loaded ${bytes[0]} of ${bytes[1]} bytes, but the files fetched hold ${counted}`);
    const first = await poll("a heard music position", () =>
        real.page.evaluate(() => { const music = window.orvantiMusic(); return music && music.row > 0 && music; }));
    const later = await poll("the music position to advance", () =>
        real.page.evaluate((before) => {
            const music = window.orvantiMusic();
            return (music.order > before.order || music.row >= before.row + 4) && music;
        }, first));
    console.log(`music heard at ${first.order}:${first.row}, then ${later.order}:${later.row}` +
        ` (output latency ${(later.latency * 1000).toFixed(1)} ms, report stamps spread over` +
        ` ${(later.stamp_spread * 1000).toFixed(1)} ms)`);

    // Frozen for FreezeMs and woken: the show's clock keeps its distance to
    // the music's within a tick (and one step of the render clock, which the
    // readings have), and the picture is the capture's at the heard
    // position, nearer it than the capture's FreezeMs later.
    const FreezeMs = 2000, TickMs = 20, RenderStepMs = 12, NearFrames = 10;
    const before_freeze = await clock_offset(real.page);
    const render_before = (await real.page.evaluate(() => window.orvantiMusic())).render_ms;
    const lifecycle = await real.page.createCDPSession();
    const frozen_at = Date.now();
    await lifecycle.send("Page.setWebLifecycleState", { state: "frozen" });
    await poll("the freeze to last its time", async () => Date.now() - frozen_at >= FreezeMs);
    await lifecycle.send("Page.setWebLifecycleState", { state: "active" });
    const render_woken = (await real.page.evaluate(() => window.orvantiMusic())).render_ms;
    const woken_clock = (await real.page.evaluate(() => window.orvantiMusic())).clock_ms;
    await poll("frames after waking", () => real.page.evaluate((clock) => window.orvantiMusic().clock_ms > clock + 200,
        woken_clock));
    const after_freeze = await clock_offset(real.page);
    const seen = await real.page.evaluate(() => ({ band: window.orvantiBand(), music: window.orvantiMusic() }));
    console.log(`frozen ${FreezeMs} ms: the render clock moved ${(render_woken - render_before).toFixed(0)} ms; ` +
        `show clock minus render clock ${before_freeze.toFixed(1)} ms before, ${after_freeze.toFixed(1)} ms after`);
    check(Math.abs(after_freeze - before_freeze) <= TickMs + RenderStepMs,
        `after the freeze the show's clock is ${(after_freeze - before_freeze).toFixed(1)} ms off the music`);
    const trace_lines = fs.readFileSync(tracePath, "latin1").split("\n").slice(1).map((line) => line.split(","));
    const heard_frame = trace_lines.findIndex((f) => Number(f[2]) === seen.music.order && Number(f[3]) === seen.music.row);
    if (check(heard_frame >= 0, `the heard position ${seen.music.order}:${seen.music.row} is not in the trace`)) {
        const freeze_frames = FreezeMs / TickMs;
        const low = Math.max(0, heard_frame - NearFrames), high = heard_frame + freeze_frames + NearFrames;
        const frames_dir = path.join(workDir, "freeze");
        const run = spawnSync(capture, ["--quiet", "--data", dataDir, "--frames", `${low}-${high}`, "--end",
            String((high + 1) * TickMs / 1000), "--out", frames_dir], { encoding: "utf8" });
        check(run.status === 0, `orvanti-capture --frames ${low}-${high} ended with ${run.status}: ${run.stderr}`);
        const band = Buffer.from(seen.band, "base64");
        const frame_png = (n) => read_png(path.join(frames_dir, `frame_${String(n).padStart(6, "0")}.png`));
        const closest = (centre) => {
            let best = Infinity;
            for (let n = Math.max(low, centre - NearFrames); n <= centre + NearFrames; n++)
                best = Math.min(best, band_difference(frame_png(n), band));
            return best;
        };
        const at_heard = closest(heard_frame), ahead = closest(heard_frame + freeze_frames);
        const apart = band_difference(frame_png(heard_frame), to_rgba(frame_png(heard_frame + freeze_frames)));
        const tick_motion = band_difference(frame_png(heard_frame), to_rgba(frame_png(heard_frame + 1)));
        console.log(`after waking, heard ${seen.music.order}:${seen.music.row} (capture frame ${heard_frame}): ` +
            `${at_heard} band pixels differ from the nearest capture frame there, ${ahead} from those ` +
            `${FreezeMs} ms later (which differ from it in ${apart}; one tick moves it by ${tick_motion})`);
        check(apart > (ScreenWidth * BandHeight) / 100, "the frozen time fell on a still picture: nothing to compare");
        // In step, the page's picture is no farther from the capture's there
        // than one tick moves the capture's own picture (its frames fall
        // between the capture's 20 ms ones: a few hundred pixels in a calm
        // scene, thousands where the opening swirls); 2 s ahead, far more.
        const in_step = at_heard <= Math.max((ScreenWidth * BandHeight) / 64, tick_motion) && at_heard < ahead;
        check(in_step, `after waking the picture is not the capture's at the heard position (${at_heard} pixels differ)`);
        if (!in_step)
            write_rgba_png(path.join(workDir, "page_after_freeze.png"), ScreenWidth, BandHeight, band);
    }

    // Escape ends the show; the end screen is seen in full screen too.
    await real.page.keyboard.press("Escape");
    await poll("Escape to end the show", () => real.page.evaluate(() => window.orvantiStatus.state === "ended"));
    await real.page.keyboard.press("f");
    await poll("full screen", () => real.page.evaluate(() => document.fullscreenElement !== null));
    const end_screen = await real.page.evaluate(() => {
        const button = [...document.querySelectorAll("#overlay button")].find((b) => b.textContent === "Play again");
        if (!button)
            return "no Play again button";
        const box = button.getBoundingClientRect();
        const hit = document.elementFromPoint(box.x + box.width / 2, box.y + box.height / 2);
        return document.fullscreenElement.contains(button) && hit === button ? "" : "the Play again button is hidden";
    });
    check(end_screen === "", `end screen in full screen: ${end_screen}`);
    check(real.errors.length === 0, `page console errors: ${real.errors.join(" | ")}`);
    await real.page.close();

    // A touch screen: the hints speak of taps, and a tap during the show
    // brings up the button that ends it.
    const touch = await open_page("", (page) => page.setViewport({ width: 390, height: 844, hasTouch: true,
        isMobile: true }));
    await poll("the touch page's title", () => touch.page.evaluate(() => window.orvantiStatus.state === "title"));
    check(await touch.page.evaluate(() => /tap to start/.test(document.getElementById("overlay").textContent)),
        "the touch page's hints do not speak of taps");
    await touch.page.tap("#screen");
    await poll("the touch page's show", () => touch.page.evaluate(() => window.orvantiStatus.state === "running"));
    await touch.page.tap("#screen");
    await poll("the end button", () => touch.page.evaluate(() => !document.getElementById("end").hidden));
    await touch.page.tap("#end");
    await poll("the end button to end the show", () => touch.page.evaluate(() => window.orvantiStatus.state === "ended"));
    await touch.page.close();

    // Each file missing, and a broken program and worklet: the panel names
    // the file and the status or reason, once, and nothing is left uncaught.
    const refusals = SiteFiles.map((name) => ({ name, answer: { status: 404, body: "missing" }, reported: "HTTP 404" }));
    refusals.push({ name: "orvanti.wasm.gz", answer: { status: 200, body: zlib.gzipSync(Buffer.from("not a program")) },
        reported: "not a WebAssembly program" });
    refusals.push({ name: "chiptune3/chiptune3.worklet.js", answer: { status: 200, body: "import x from './libopenmpt.worklet.js'; )(" },
        reported: "worklet does not load", click: true });
    for (const refusal of refusals) {
        const what = `${refusal.name} answered ${refusal.answer.status}`;
        const broken = await open_page("", (page) => replace_file(page, refusal.name, refusal.answer));
        if (refusal.click) {
            await poll(`the title with ${what}`, () => broken.page.evaluate(() => window.orvantiStatus.state === "title"));
            await broken.page.click("#screen");
        }
        try {
            const lines = await poll(`the panel to report ${what}`, async () => {
                const shown = await panel_lines(broken.page);
                return shown.some((line) => line.startsWith(refusal.name) && line.includes(refusal.reported)) && shown;
            });
            const about = lines.filter((line) => line.startsWith(refusal.name));
            console.log(`${what}: ${lines.join(" | ")}`);
            check(about.length === 1, `${what}: reported ${about.length} times`);
            check(!(await broken.page.evaluate(() => document.getElementById("overlay").textContent.includes("to start"))),
                `${what}: the page still offers to start`);
            check(broken.uncaught.length === 0, `${what}: uncaught errors: ${broken.uncaught.join(" | ")}`);
        } catch (error) {
            failures.push(error.message);
        }
        await broken.page.close();
    }
} catch (error) {
    failures.push(error.message);
} finally {
    captureRun.kill();
    await browser.close();
    server.close();
}

for (const failure of failures)
    console.error(`FAILED: ${failure}`);
console.log(failures.length === 0 ? "test_web_page: passed" : `test_web_page: ${failures.length} checks failed`);
process.exit(failures.length === 0 ? 0 : 1);
