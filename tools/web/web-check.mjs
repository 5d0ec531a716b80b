// web-check.mjs -- the browser build checked in headless Chromium over the DevTools protocol
//
//   node tools/web/web-check.mjs --site build-web --native build --out build-wasm/check
//                                [--checks real-time,player,frames]
//
// The pages are served from the site folder on 127.0.0.1, Chromium is started headless and
// driven through its DevTools socket, and what the pages do is compared with the native
// programs: quorbela-capture --hashes for the frames, xmplay --wav for the sound. Prints one
// line per check and "N passed, N failed"; exit code 0 when none failed. Screenshots and the
// files compared go to the out folder.
import { spawn, execFileSync } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync, rmSync, mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { serve } from './serve.mjs';
import { connectSocket } from './websocket.mjs';

const options = {site: 'build-web', native: 'build', out: 'build-wasm/check', chromium: 'chromium',
                 showSeconds: 12, checks: 'real-time,player,frames'};
for (let i = 2; i < process.argv.length; i += 2) {
  const name = process.argv[i].replace(/^--/, '');
  if (!(name in options)) {
    console.error(`web-check: unknown option ${process.argv[i]}`);
    process.exit(2);
  }
  options[name] = process.argv[i + 1];
}
const out = resolve(options.out);
mkdirSync(out, {recursive: true});
const capture = join(options.native, 'tools/capture/quorbela-capture');
const xmplay = join(options.native, 'tools/xmplay/xmplay');
const song = join(options.native, 'assets/quorbela.xm');

let passed = 0;
let failed = 0;
function report(ok, name, detail) {
  if (ok) ++passed; else ++failed;
  console.log(`${ok ? 'PASS' : 'FAIL'} ${name}${detail ? ': ' + detail : ''}`);
}
const sleep = (ms) => new Promise((done) => setTimeout(done, ms));

// 64-bit FNV-1a, as the programs name frames and sounds, in two 32-bit halves: the prime is
// 2^40 + 0x1B3, so a step is hash * 0x1B3 plus the low half shifted into the high one.
function fnv1a(bytes) {
  let high = 0xCBF29CE4, low = 0x84222325;
  for (let i = 0; i < bytes.length; ++i) {
    low = (low ^ bytes[i]) >>> 0;
    const product = low * 0x1B3;
    high = (Math.imul(high, 0x1B3) + Math.floor(product / 0x100000000) + (low << 8)) >>> 0;
    low = product >>> 0;
  }
  return high.toString(16).padStart(8, '0') + low.toString(16).padStart(8, '0');
}

// The PCM bytes of a 16-bit WAV file written by xmplay.
function wavData(path) {
  const file = readFileSync(path);
  let at = 12;
  while (at + 8 <= file.length) {
    const id = file.toString('ascii', at, at + 4);
    const size = file.readUInt32LE(at + 4);
    if (id === 'data') return file.subarray(at + 8, at + 8 + size);
    at += 8 + size + (size & 1);
  }
  throw new Error(`${path}: no data chunk`);
}

function xmplayRules() {
  // Once xmplay has rule sets, the show's sound is compared under the show's rules.
  const help = execFileSync(xmplay, ['--help'], {encoding: 'utf8'});
  return help.includes('--rules') ? ['--rules', 'show'] : [];
}

// ---- Chromium and the DevTools protocol ---------------------------------------------------

class Browser {
  static async start() {
    const profile = mkdtempSync(join(tmpdir(), 'quorbela-chromium-'));
    const process_ = spawn(options.chromium, [
      '--headless=new', '--no-sandbox', '--disable-gpu', '--no-first-run', '--mute-audio',
      '--autoplay-policy=no-user-gesture-required', '--remote-debugging-port=0',
      `--user-data-dir=${profile}`, '--window-size=1280,960', 'about:blank',
    ], {stdio: ['ignore', 'ignore', 'pipe']});
    const address = await new Promise((done, failed) => {
      let text = '';
      const timer = setTimeout(() => failed(new Error('Chromium did not open its DevTools socket')), 30000);
      process_.stderr.on('data', (chunk) => {
        text += chunk;
        const found = text.match(/DevTools listening on (ws:\/\/\S+)/);
        if (found) {
          clearTimeout(timer);
          done(found[1]);
        }
      });
      process_.on('exit', (code) => failed(new Error(`Chromium ended at once (exit code ${code})`)));
    });
    const browser = new Browser(process_, profile, await connectSocket(address));
    return browser;
  }

  constructor(process_, profile, socket) {
    this.process = process_;
    this.profile = profile;
    this.socket = socket;
    this.next = 0;
    this.waiting = new Map();
    this.listeners = new Set();
    socket.onmessage = (text) => {
      const message = JSON.parse(text);
      if (message.id !== undefined && this.waiting.has(message.id)) {
        const {done, failed} = this.waiting.get(message.id);
        this.waiting.delete(message.id);
        if (message.error) failed(new Error(`${message.error.message}`)); else done(message.result);
      } else if (message.method) {
        for (const listener of this.listeners) listener(message);
      }
    };
  }

  send(method, params = {}, sessionId = undefined) {
    const id = ++this.next;
    return new Promise((done, failed) => {
      this.waiting.set(id, {done, failed});
      this.socket.send(JSON.stringify({id, method, params, sessionId}));
    });
  }

  async open(url) {
    const {targetId} = await this.send('Target.createTarget', {url: 'about:blank'});
    const {sessionId} = await this.send('Target.attachToTarget', {targetId, flatten: true});
    const page = new Page(this, sessionId, targetId);
    await page.send('Runtime.enable');
    await page.send('Page.enable');
    await page.send('Page.navigate', {url});
    return page;
  }

  async close() {
    try {
      await Promise.race([this.send('Browser.close'), sleep(5000)]);
    } catch {
      // Already gone.
    }
    await Promise.race([new Promise((done) => this.process.once('exit', done)), sleep(5000)]);
    if (this.process.exitCode === null) this.process.kill('SIGKILL');
    rmSync(this.profile, {recursive: true, force: true});
  }
}

class Page {
  constructor(browser, sessionId, targetId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.targetId = targetId;
    this.console = [];
    this.onConsole = null;
    browser.listeners.add((message) => {
      if (message.sessionId !== sessionId) return;
      if (message.method === 'Runtime.consoleAPICalled') {
        const line = message.params.args.map((a) => a.value !== undefined ? String(a.value) : a.description || '').join(' ');
        this.console.push(line);
        if (this.onConsole) this.onConsole(line);
      } else if (message.method === 'Runtime.exceptionThrown') {
        this.console.push('exception: ' + message.params.exceptionDetails.text + ' ' +
                          (message.params.exceptionDetails.exception?.description || ''));
      }
    });
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId);
  }

  async evaluate(expression) {
    const result = await this.send('Runtime.evaluate', {expression, returnByValue: true, awaitPromise: true});
    if (result.exceptionDetails) {
      throw new Error(`${expression}: ${result.exceptionDetails.exception?.description || result.exceptionDetails.text}`);
    }
    return result.result.value;
  }

  async waitFor(expression, seconds, what) {
    const until = Date.now() + seconds * 1000;
    for (;;) {
      const value = await this.evaluate(expression).catch(() => undefined);
      if (value) return value;
      if (Date.now() > until) throw new Error(`${what} did not happen within ${seconds} s`);
      await sleep(100);
    }
  }

  async key(type, code, key, keyCode) {
    await this.send('Input.dispatchKeyEvent', {type, code, key, windowsVirtualKeyCode: keyCode,
                                               nativeVirtualKeyCode: keyCode});
  }

  async screenshot(path) {
    const {data} = await this.send('Page.captureScreenshot', {format: 'png'});
    writeFileSync(path, Buffer.from(data, 'base64'));
  }

  async close() {
    await this.browser.send('Target.closeTarget', {targetId: this.targetId}).catch(() => {});
  }
}

// ---- The checks ---------------------------------------------------------------------------

// Every frame of the whole show in the page equals the native capture's; with `gentle`, the
// first `limit` frames of the gentle show (its first flash already differs).
async function checkFrameHashes(browser, base, gentle = false, limit = 0) {
  const name = gentle ? 'the gentle show' : 'the whole show';
  const expectedPath = join(out, gentle ? 'capture-hashes-gentle.txt' : 'capture-hashes.txt');
  execFileSync(capture, ['--hashes', expectedPath, '--no-progress', ...(gentle ? ['--gentle'] : [])]);
  let expected = readFileSync(expectedPath, 'utf8').trim().split('\n');
  if (limit > 0) expected = expected.slice(0, limit);
  const frames = limit > 0 ? limit : expected.length + 1000;
  const page = await browser.open(`${base}/index.html?check=${frames}${gentle ? '&gentle' : ''}`);
  const done = new Promise((finished) => {
    page.onConsole = (line) => { if (line === 'check done') finished(); };
  });
  const seconds = 600;
  await Promise.race([done, sleep(seconds * 1000)]);
  const got = page.console.filter((line) => /^\d+ [0-9a-f]{16}$/.test(line));
  writeFileSync(join(out, gentle ? 'web-hashes-gentle.txt' : 'web-hashes.txt'), got.join('\n') + '\n');
  await page.close();
  if (!page.console.includes('check done')) {
    report(false, `frame hashes of ${name}`, `no "check done" within ${seconds} s (${got.length} frames)`);
    return;
  }
  // What drawing took in the page, scene by scene (figures, not a check: nothing here is timed).
  if (!gentle) for (const line of page.console.filter((l) => l.startsWith('scene '))) console.log(`     ${line}`);
  const differing = expected.findIndex((line, i) => got[i] !== line);
  const same = differing < 0 && got.length === expected.length;
  report(same, `frame hashes of ${name} equal the native capture's`,
         same ? `${got.length} frames`
             : differing >= 0 ? `frame ${differing}: page "${got[differing]}", capture "${expected[differing]}"`
             : `${got.length} frames in the page, ${expected.length} in the capture`);
}

// The start screen waits for a gesture and warns first.
async function checkStartScreen(browser, base) {
  const page = await browser.open(`${base}/index.html`);
  try {
    const text = await page.waitFor(`window.quorbela && quorbela.state === 'waiting' &&
                                      document.getElementById('start').innerText`, 30, 'the start screen');
    await sleep(300);
    const frames = await page.evaluate('quorbela.frames');
    await page.screenshot(join(out, 'start.png'));
    report(/Click or press a key to start/.test(text) && /Photosensitivity warning: .*\?gentle/s.test(text) && frames === 0,
           'the show waits on its start screen, with the photosensitivity warning', `${frames} frames before the click`);
  } catch (error) {
    report(false, 'the start screen', error.message);
  } finally {
    await page.close();
  }
}

// The show in real time with its sound, as someone watching it.
async function checkRealTime(browser, base) {
  const page = await browser.open(`${base}/index.html?autostart&record=${options.showSeconds + 8}`);
  try {
    await page.waitFor(`window.quorbela && quorbela.state === 'running' && quorbela.frames > 0`, 30, 'the show starting');
    const kind = await page.evaluate('quorbela.soundKind');
    report(kind === 'worklet', 'the sound plays through an AudioWorklet', kind);
    const firstFrame = await page.evaluate('quorbela.firstFrameMs');
    console.log(`     first frame ${firstFrame.toFixed(0)} ms after the start`);

    await sleep(1500);
    const sample = () => page.evaluate(`({at: performance.now(), bytes: quorbela.sound.position(),
                                          frames: quorbela.frames})`);
    const first = await sample();
    await sleep(options.showSeconds * 1000 - 1500);
    const last = await sample();
    const seconds = (last.at - first.at) / 1000;
    const speed = (last.bytes - first.bytes) / 4 / 44100 / seconds;
    report(Math.abs(speed - 1) <= 0.03, 'the audio clock runs at 1.0x (within 3%)', `${speed.toFixed(4)}x over ${seconds.toFixed(1)} s`);
    const fps = (last.frames - first.frames) / seconds;
    report(Math.abs(fps - 70) <= 7, 'the page presents about 70 frames per second', `${fps.toFixed(1)} per second`);

    await page.screenshot(join(out, 'show.png'));
    report(true, 'screenshot of a scene saved', join(options.out, 'show.png'));

    // What the worklet played: the silent ring, then the song as xmplay renders it. The song
    // starts at a lap of the ring: the first, unless the page was busier than a lap long while
    // the show started (the device plays from the moment it opens).
    const recorded = Buffer.from(await page.evaluate(`quorbela.sound.recording().then((frames) => {
        const bytes = new Uint8Array(frames.buffer, frames.byteOffset, frames.byteLength);
        let text = '';
        for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode.apply(null, bytes.subarray(i, i + 0x8000));
        return btoa(text);
      })`), 'base64');
    const ringBytes = await page.evaluate('quorbela.sound.ringBytes');
    const underruns = await page.evaluate('Module._web_show_underruns()');
    const wavPath = join(out, 'song-show-played.wav');
    execFileSync(xmplay, ['--wav', wavPath, '--seconds', String(options.showSeconds + 10), ...xmplayRules(), song]);
    const expected = wavData(wavPath);
    const firstSound = recorded.findIndex((b) => b !== 0);
    const laps = firstSound < 0 ? 0 : Math.max(1, Math.floor(firstSound / ringBytes));
    const played = recorded.subarray(laps * ringBytes);
    const length = Math.min(played.length, expected.length);
    let differing = -1;
    for (let i = 0; i < length; ++i) {
      if (played[i] !== expected[i]) { differing = i; break; }
    }
    report(firstSound >= ringBytes && differing < 0 && length > 44100 * 4 * 5,
           'the samples the worklet played equal xmplay --wav after the silent lap',
           firstSound < 0 ? 'nothing but silence'
               : firstSound < ringBytes ? 'the first lap was not silent'
               : differing >= 0 ? `first difference at frame ${differing >> 2} of ${length >> 2} after ${laps} laps` +
                                  (underruns > 0 ? ` (${underruns} underruns: the page filled the ring a lap late)` : '')
               : `${(length / 4 / 44100).toFixed(1)} s compared` + (laps > 1 ? ` (the song began after ${laps} silent laps)` : ''));

    // An Escape tap ends the scene that shows.
    const sceneBefore = await page.evaluate('quorbela.scene');
    await page.key('rawKeyDown', 'Escape', 'Escape', 27);
    await page.key('keyUp', 'Escape', 'Escape', 27);
    const sceneAfter = await page.waitFor(`quorbela.scene !== ${JSON.stringify(sceneBefore)} && quorbela.scene`, 5,
                                          'a scene change').catch(() => sceneBefore);
    report(sceneAfter !== sceneBefore, 'an Escape tap moves the show on', `scene ${sceneBefore} to ${sceneAfter}`);

    // Held down, Escape runs the show out, and the page closes the sound.
    await page.key('rawKeyDown', 'Escape', 'Escape', 27);
    const ended = await page.waitFor(`quorbela.state === 'ended'`, 10, 'the show ending').catch(() => false);
    await page.key('keyUp', 'Escape', 'Escape', 27);
    const closed = ended && await page.waitFor(`quorbela.sound.context.state === 'closed'`, 5, 'the sound closing')
        .catch(() => false);
    report(ended && closed, 'Escape held ends the show and closes the audio',
           ended ? (closed ? '' : 'the audio context stays open') : 'the show goes on');
  } catch (error) {
    report(false, 'the show in real time', error.message);
  } finally {
    const problems = page.console.filter((line) => line.startsWith('exception'));
    if (problems.length) report(false, 'the show page runs without exceptions', problems[0]);
    await page.close();
  }
}

// Where there is no AudioWorklet the ScriptProcessor plays the ring; where there is no Web
// Audio the show runs silent, and Escape moves it on.
async function checkSoundFallbacks(browser, base) {
  const page = await browser.open(`${base}/index.html?autostart&sound=script-processor`);
  try {
    await page.waitFor(`window.quorbela && quorbela.state === 'running' && quorbela.frames > 0`, 30, 'the show starting');
    const first = await page.evaluate('quorbela.sound.position()');
    await sleep(2000);
    const kind = await page.evaluate('quorbela.soundKind');
    const bytes = await page.evaluate('quorbela.sound.position()') - first;
    const seconds = bytes / 4 / 44100;
    report(kind === 'script-processor' && seconds > 1.5, 'the ScriptProcessor fallback plays',
           `${kind}, ${seconds.toFixed(2)} s in 2 s`);
  } catch (error) {
    report(false, 'the ScriptProcessor fallback plays', error.message);
  } finally {
    await page.close();
  }
  const silent = await browser.open(`${base}/index.html?autostart&sound=none`);
  try {
    await silent.waitFor(`window.quorbela && quorbela.state === 'running' && quorbela.frames > 0`, 30, 'the show starting');
    await sleep(1000);
    const before = await silent.evaluate('quorbela.scene');
    await silent.key('rawKeyDown', 'Escape', 'Escape', 27);
    await silent.key('keyUp', 'Escape', 'Escape', 27);
    const after = await silent.waitFor(`quorbela.scene !== ${JSON.stringify(before)} && quorbela.scene`, 5,
                                       'a scene change').catch(() => before);
    const frames = await silent.evaluate('quorbela.frames');
    report(before === '1' && after !== before && frames > 50, 'without Web Audio the show runs silent and Escape moves it on',
           `scene ${before} to ${after}, ${frames} frames`);
  } catch (error) {
    report(false, 'without Web Audio the show runs silent', error.message);
  } finally {
    await silent.close();
  }
}

async function setFile(page, path) {
  const {root} = await page.send('DOM.getDocument');
  const {nodeId} = await page.send('DOM.querySelector', {nodeId: root.nodeId, selector: '#file'});
  await page.send('DOM.setFileInputFiles', {nodeId, files: [resolve(path)]});
}

// The player page: a file set on its input plays; its render equals xmplay's; a damaged file
// gets its one line.
async function checkPlayer(browser, base) {
  const page = await browser.open(`${base}/player.html`);
  try {
    await page.waitFor(`document.getElementById('message').textContent.startsWith('Open')`, 30, 'the player loading');
    const info = JSON.parse(execFileSync(xmplay, ['--info', song], {encoding: 'utf8'}));
    await setFile(page, song);
    const title = await page.waitFor(`window.quorbelaPlayer.state.loaded && document.getElementById('title').textContent`,
                                     30, 'the title showing');
    report(title === info.name, 'the player page shows the title of the file it was given', JSON.stringify(title));
    const position = () => page.evaluate(`document.getElementById('position').textContent`);
    await page.waitFor(`(quorbelaPlayer.state.status || {}).order >= 0`, 10, 'the song playing').catch(() => {});
    const before = await position();
    await sleep(1500);
    const after = await position();
    report(before !== after && /row \d+/.test(after), 'its position moves while it plays', `"${before}" then "${after}"`);
    await page.screenshot(join(out, 'player.png'));

    // Both rule sets, where xmplay has both.
    const ruleSets = xmplayRules().length > 0 ? [['ft2', false], ['show', true]] : [['default', false]];
    for (const [rules, showRules] of ruleSets) {
      const rendered = await page.evaluate(`quorbelaPlayer.render(${showRules})`);
      const wavPath = join(out, `song-${rules}-rules.wav`);
      execFileSync(xmplay, ['--wav', wavPath, ...(rules === 'default' ? [] : ['--rules', rules]), song]);
      const expected = wavData(wavPath);
      const same = rendered.frames * 4 === expected.length && rendered.hash === fnv1a(expected);
      report(same, `the song rendered by the wasm player equals xmplay --wav byte for byte (${rules} rules)`,
             `${rendered.frames} frames, ${rendered.hash}; xmplay ${expected.length / 4} frames, ${fnv1a(expected)}`);
    }

    // A download cut short in the header, and a file that is no module at all.
    const damaged = [
      ['cut-short.xm', readFileSync(song).subarray(0, 64), /^cut-short\.xm: damaged/],
      ['not-a-module.xm', Buffer.from('RIFF\0\0\0\0WAVEfmt '.repeat(8)), /^not-a-module\.xm: not an XM module/],
    ];
    for (const [name, bytes, wanted] of damaged) {
      writeFileSync(join(out, name), bytes);
      // The last file's message goes first, so that only this file's can be read below.
      await page.evaluate(`document.getElementById('message').textContent = ''`);
      await setFile(page, join(out, name));
      const message = await page.waitFor(
          `!quorbelaPlayer.state.loaded && document.getElementById('message').className === 'error' &&
           document.getElementById('message').textContent`, 10, 'the message').catch(() => '');
      report(wanted.test(message) && !message.includes('\n'), `${name} gets a one-line message`, JSON.stringify(message));
    }
  } catch (error) {
    report(false, 'the player page', error.message);
  } finally {
    const problems = page.console.filter((line) => line.startsWith('exception'));
    if (problems.length) report(false, 'the player page runs without exceptions', problems[0]);
    await page.close();
  }
}

const server = await serve(options.site, 0);
const base = `http://127.0.0.1:${server.address().port}`;
let browser = null;
try {
  browser = await Browser.start();
  const wanted = options.checks.split(',');
  if (wanted.includes('real-time')) await checkStartScreen(browser, base);
  if (wanted.includes('real-time')) await checkRealTime(browser, base);
  if (wanted.includes('real-time')) await checkSoundFallbacks(browser, base);
  if (wanted.includes('player')) await checkPlayer(browser, base);
  if (wanted.includes('frames')) await checkFrameHashes(browser, base);
  if (wanted.includes('frames')) await checkFrameHashes(browser, base, true, 3200);
} catch (error) {
  report(false, 'web-check', error.message);
} finally {
  if (browser) await browser.close();
  server.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
