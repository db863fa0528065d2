// The browser page in headless Chromium: loads without console errors, draws
// in its fixed-clock mode the same bands as orvanti-capture's PNGs at 21
// frames across all nine scenes, plays music whose heard position advances,
// and ends on Escape.
//
// node test_web_page.mjs PAGE_DIR CAPTURE DATA_DIR WORK_DIR
// Exit status 77 (skipped) when /usr/bin/chromium is missing.
import { spawn } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";

import { Chromium, launch_chromium, load_puppeteer, serve } from "./page_support.mjs";

const SkipStatus = 77;
const ScreenWidth = 640;
const BandTop = 80;
const BandHeight = 320;
// Every 880th frame of the 50 fps show: 0 to 17600, two or more in each scene.
const FrameStep = 880;
const LastCompared = 17600;
const DeadlineMs = 170000;

const [pageDir, capture, dataDir, workDir] = process.argv.slice(2);
if (!workDir) {
    console.error("usage: test_web_page.mjs PAGE_DIR CAPTURE DATA_DIR WORK_DIR");
    process.exit(2);
}
if (!fs.existsSync(Chromium)) {
    console.log(`test_web_page: skipped: ${Chromium} is not installed (scripts/install-deps.sh installs it)`);
    process.exit(SkipStatus);
}
for (const name of ["index.html", "orvanti.js", "orvanti.wasm", "orvanti.dat", "orvanti.xm"]) {
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

async function open_page(query) {
    const page = await browser.newPage();
    const errors = [];
    page.on("console", (message) => { if (message.type() === "error") errors.push(message.text()); });
    page.on("pageerror", (error) => errors.push(error.message));
    await page.setViewport({ width: 800, height: 600 });
    await page.goto(`${origin}/index.html${query}`);
    return { page, errors };
}

try {
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
        console.log(`frame ${frame} (${handler}): ${differing} of ${ScreenWidth * BandHeight} band pixels differ`);
        if (!check(differing === 0, `frame ${frame} (${handler}): ${differing} band pixels differ from the capture`))
            write_rgba_png(path.join(workDir, `page_frame_${frame}.png`), ScreenWidth, BandHeight, band);
    }
    check(scenes.size === 9, `the compared frames cover ${scenes.size} scenes (${[...scenes].join(", ")}), not 9`);
    await fixed.page.close();

    // Real mode: the title, a click, music heard moving on, Escape.
    const real = await open_page("");
    await poll("the title screen", () => real.page.evaluate(() => window.orvantiStatus.state !== "loading"));
    check(await real.page.evaluate(() => window.orvantiStatus.state === "title"), "the page shows no title screen");
    await real.page.click("#screen");
    await poll("the show to run", () => real.page.evaluate(() => window.orvantiStatus.state !== "title"));
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
    await real.page.keyboard.press("Escape");
    await poll("Escape to end the show", () => real.page.evaluate(() => window.orvantiStatus.state === "ended"));
    check(await real.page.evaluate(() => document.getElementById("message").textContent.includes("Play again")),
        "the end screen offers no way to play again");
    check(real.errors.length === 0, `page console errors: ${real.errors.join(" | ")}`);
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
