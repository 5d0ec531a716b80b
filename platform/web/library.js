// library.js -- the page side of the browser backend, linked in with --js-library
//
// The canvas is Module.canvas; the sound device is Module.sound (platform/web/sound.js), which
// the page creates when the user has given the gesture browsers want before they play sound.
mergeInto(LibraryManager.library, {
  web_canvas_open: function (width, height) {
    var canvas = Module['canvas'];
    if (!canvas || !canvas.getContext) return 0;
    canvas.width = width;
    canvas.height = height;
    Module.webCanvas = canvas.getContext('2d', {alpha: false});
    if (!Module.webCanvas) return 0;
    Module.webPicture = Module.webCanvas.createImageData(width, height);
    return 1;
  },

  web_canvas_show: function (rgba, width, height) {
    var picture = Module.webPicture;
    if (!picture || picture.width !== width || picture.height !== height) return;
    picture.data.set(HEAPU8.subarray(rgba, rgba + width * height * 4));
    Module.webCanvas.putImageData(picture, 0, 0);
    if (Module['onFrame']) Module['onFrame']();
  },

  web_error_box: function (text) {
    var message = UTF8ToString(text);
    if (Module['showError']) Module['showError'](message);
  },

  web_page_event: function (name) {
    if (Module['onEvent']) Module['onEvent'](UTF8ToString(name));
  },

  web_keyboard_open: function () {
    if (Module.webKeys) return;
    var held = new Set();
    // Keys the browser would otherwise act on (scrolling, leaving the page's focus).
    var kept = new Set(['Escape', 'Space', 'Tab', 'Backspace', 'ArrowUp', 'ArrowDown', 'ArrowLeft',
                        'ArrowRight', 'PageUp', 'PageDown', 'Home', 'End']);
    var send = function (code, down) {
      var size = lengthBytesUTF8(code) + 1;
      var top = stackSave();
      var name = stackAlloc(size);
      stringToUTF8(code, name, size);
      Module['_web_key_event'](name, down);
      stackRestore(top);
    };
    Module.webKeys = {
      down: function (event) {
        if (!event.code) return;
        if (kept.has(event.code)) event.preventDefault();
        held.add(event.code);
        send(event.code, 1);
      },
      up: function (event) {
        if (!event.code) return;
        held.delete(event.code);
        send(event.code, 0);
      },
      // A key let go while another window had the focus never reports its release.
      blur: function () {
        held.forEach(function (code) { send(code, 0); });
        held.clear();
      },
    };
    window.addEventListener('keydown', Module.webKeys.down);
    window.addEventListener('keyup', Module.webKeys.up);
    window.addEventListener('blur', Module.webKeys.blur);
  },

  web_sound_open: function (rate, ring_bytes) {
    var sound = Module['sound'];
    if (!sound) return 0;
    return sound.open(rate, ring_bytes, function () { Module['_web_sound_played'](); }) ? 1 : 0;
  },

  web_sound_position: function () {
    return Module['sound'] ? Module['sound'].position() : 0;
  },

  web_sound_write: function (offset, bytes, length) {
    if (Module['sound']) Module['sound'].write(offset, HEAPU8.slice(bytes, bytes + length));
  },

  web_sound_pause: function (paused) {
    if (Module['sound']) Module['sound'].pause(paused !== 0);
  },

  web_sound_close: function () {
    if (Module['sound']) Module['sound'].close();
  },
});
