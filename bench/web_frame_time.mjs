// The browser page in headless Chromium: how long it takes to load over a
// 40 Mbit/s line with 40 ms of delay (Chromium's network emulation, a fresh
// cache), until it offers to start; then the whole show's frame time in its
// fixed-clock mode (no sound) from a capture trace, in real time and in the
// processor time of the browser's processes (which other work on a shared
// machine does not inflate). Prints "page: loaded in S s ..." and "page: N
// frames in S s, M ms a frame, C ms of processor time a frame".
//
// node web_frame_time.mjs SITE_DIR TRACE|- WORK_DIR [--frames-only]
//   (-: the load time only; --frames-only: the frame time only)
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";

import { launch_chromium, load_puppeteer, serve } from "../tests/web/page_support.mjs";

const LineMegabits = 40;
const LineLatencyMs = 40;

const ClockTicks = Number(execFileSync("getconf", ["CLK_TCK"], { encoding: "utf8" }));

// User and system time of process `root` and all its descendants, in seconds.
function tree_seconds(root) {
    const parent = new Map(), ticks = new Map();
    for (const pid of fs.readdirSync("/proc").filter((name) => /^[0-9]+$/.test(name))) {
        try {
            const stat = fs.readFileSync(`/proc/${pid}/stat`, "latin1");
            const fields = stat.slice(stat.lastIndexOf(")") + 2).split(" ");
            parent.set(pid, fields[1]);
            ticks.set(pid, Number(fields[11]) + Number(fields[12]));
        } catch (_) {
            // the process has ended
        }
    }
    let total = 0;
    for (const [pid, used] of ticks) {
        for (let at = pid; at && at !== "0"; at = parent.get(at)) {
            if (at === String(root)) {
                total += used;
                break;
            }
        }
    }
    return total / ClockTicks;
}

// The load over the throttled line with a fresh cache, until the page offers to start.
async function measure_load(browser, origin) {
    const loading = await browser.newPage();
    const cdp = await loading.createCDPSession();
    await cdp.send("Network.enable");
    await cdp.send("Network.setCacheDisabled", { cacheDisabled: true });
    await cdp.send("Network.emulateNetworkConditions", { offline: false, latency: LineLatencyMs,
        downloadThroughput: (LineMegabits * 1e6) / 8, uploadThroughput: (LineMegabits * 1e6) / 8 });
    let bytes = 0;
    cdp.on("Network.loadingFinished", (event) => { bytes += event.encodedDataLength; });
    const began = Date.now();
    await loading.goto(`${origin}/index.html`, { waitUntil: "domcontentloaded" });
    await loading.waitForFunction(() => window.orvantiStatus.state !== "loading", { timeout: 120000, polling: 20 });
    const seconds = (Date.now() - began) / 1000;
    const state = await loading.evaluate(() => window.orvantiStatus.state);
    if (state !== "title")
        throw new Error(`the page did not load: ${state}`);
    console.log(`page: loaded in ${seconds.toFixed(2)} s over a ${LineMegabits} Mbit/s, ${LineLatencyMs} ms line ` +
        `(${(bytes / 1e6).toFixed(2)} MB transferred)`);
    await loading.close();
}

const [pageDir, trace, workDir, only] = process.argv.slice(2);
const server = await serve(path.resolve(pageDir), trace === "-" ? {} : { "/trace.csv": path.resolve(trace) });
const browser = await launch_chromium(load_puppeteer(), workDir);
const origin = `http://127.0.0.1:${server.address().port}`;
try {
    if (only !== "--frames-only")
        await measure_load(browser, origin);
    if (trace !== "-") {
        const page = await browser.newPage();
        await page.goto(`${origin}/index.html?fixed=trace.csv`);
        await page.waitForFunction(() => window.orvantiStatus.state !== "loading", { timeout: 60000 });
        const fixed_state = await page.evaluate(() => window.orvantiStatus.state);
        if (fixed_state !== "running")
            throw new Error(`the page did not start: ${fixed_state}`);
        const cpu_before = tree_seconds(browser.process().pid);
        const run = await page.evaluate(() => window.orvantiFixed.time_rest());
        const cpu_ms = (tree_seconds(browser.process().pid) - cpu_before) * 1000;
        const run_seconds = run.milliseconds / 1000;
        console.log(`page: ${run.frames} frames in ${run_seconds.toFixed(1)} s, ` +
            `${(run.milliseconds / run.frames).toFixed(3)} ms a frame, ` +
            `${(cpu_ms / run.frames).toFixed(3)} ms of processor time a frame`);
    }
} finally {
    await browser.close();
    server.close();
}
