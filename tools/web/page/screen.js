// The game's picture on the page's canvas, and how the canvas is scaled.
//
// Drawing: with WebGL the game's own 16-bit frame (5-6-5) goes to a texture
// as it is, straight from the program's memory, and the GPU puts it on the
// canvas;
// the shader widens each channel exactly as the desktop does (the high bits
// repeated into the low ones), so the picture is the desktop's to the bit.
// Without WebGL, a 2D canvas is given the frame's RGBA bytes, again only the
// rows that changed.
//
// Scaling: the canvas keeps the game's 800 x 600 and the browser scales it.
// Enlarged, every game pixel stays a sharp square (nearest pixel); shrunk
// below one device pixel a game pixel, nearest pixel would drop whole rows
// and columns (the title's digits misread), so the picture is shrunk smoothly.
"use strict";
window.PellimunchScreen = function (canvas) {
  const W = canvas.width, H = canvas.height;
  let gl = null, texture = null;
  let context = null, image = null;

  const vertexShader = `
    attribute vec2 corner;
    varying vec2 at;
    void main() { at = vec2(corner.x, 1.0 - corner.y); gl_Position = vec4(2.0 * corner - 1.0, 0.0, 1.0); }`;
  // A 5-bit channel c (0..31) is (c << 3 | c >> 2) in 8 bits, a 6-bit one
  // (c << 2 | c >> 4); the texture gives c / 31 or c / 63.
  const fragmentShader = `
    precision highp float;
    uniform sampler2D frame;
    varying vec2 at;
    void main() {
      vec3 c = floor(texture2D(frame, at).rgb * vec3(31.0, 63.0, 31.0) + 0.5);
      vec3 wide = c * vec3(8.0, 4.0, 8.0) + floor(c / vec3(4.0, 16.0, 4.0));
      gl_FragColor = vec4(wide / 255.0, 1.0);
    }`;

  function startGl() {
    const g = canvas.getContext("webgl", { alpha: false, antialias: false, depth: false, stencil: false,
                                           premultipliedAlpha: false, preserveDrawingBuffer: false,
                                           powerPreference: "low-power" });
    if (!g) return null;
    const shader = (type, text) => {
      const s = g.createShader(type);
      g.shaderSource(s, text);
      g.compileShader(s);
      if (!g.getShaderParameter(s, g.COMPILE_STATUS)) throw new Error(g.getShaderInfoLog(s));
      return s;
    };
    const program = g.createProgram();
    g.attachShader(program, shader(g.VERTEX_SHADER, vertexShader));
    g.attachShader(program, shader(g.FRAGMENT_SHADER, fragmentShader));
    g.linkProgram(program);
    if (!g.getProgramParameter(program, g.LINK_STATUS)) throw new Error(g.getProgramInfoLog(program));
    g.useProgram(program);
    g.bindBuffer(g.ARRAY_BUFFER, g.createBuffer());
    g.bufferData(g.ARRAY_BUFFER, new Float32Array([0, 0, 1, 0, 0, 1, 1, 1]), g.STATIC_DRAW);
    const corner = g.getAttribLocation(program, "corner");
    g.enableVertexAttribArray(corner);
    g.vertexAttribPointer(corner, 2, g.FLOAT, false, 0, 0);
    texture = g.createTexture();
    g.bindTexture(g.TEXTURE_2D, texture);
    g.texParameteri(g.TEXTURE_2D, g.TEXTURE_MIN_FILTER, g.NEAREST);
    g.texParameteri(g.TEXTURE_2D, g.TEXTURE_MAG_FILTER, g.NEAREST);
    g.texParameteri(g.TEXTURE_2D, g.TEXTURE_WRAP_S, g.CLAMP_TO_EDGE);
    g.texParameteri(g.TEXTURE_2D, g.TEXTURE_WRAP_T, g.CLAMP_TO_EDGE);
    g.pixelStorei(g.UNPACK_ALIGNMENT, 2);
    g.texImage2D(g.TEXTURE_2D, 0, g.RGB, W, H, 0, g.RGB, g.UNSIGNED_SHORT_5_6_5, null);
    g.viewport(0, 0, W, H);
    return g;
  }

  try {
    gl = new URLSearchParams(window.location.search).has("no-webgl") ? null : startGl();
  } catch (e) {
    console.warn("pellimunch: no WebGL (" + e.message + "); drawing on a 2D canvas");
    gl = null;
  }
  if (!gl) context = canvas.getContext("2d", { alpha: false });

  // The last frame handed over, so that it can be drawn again (a restored
  // WebGL context, the tests' read-back).
  let last = null;
  let lostGl = false;
  if (gl) {
    canvas.addEventListener("webglcontextlost", (e) => { e.preventDefault(); lostGl = true; });
    canvas.addEventListener("webglcontextrestored", () => {
      try { gl = startGl(); lostGl = !gl; } catch (e) { lostGl = true; }
      if (!lostGl && last) draw(last.heap, last.rgb565, last.rgba, 0, H);
    });
  }

  function draw(heap, rgb565, rgba, first, end) {
    if (gl) {
      if (lostGl) return;
      const row = (rgb565 >> 1) + first * W;
      gl.texSubImage2D(gl.TEXTURE_2D, 0, 0, first, W, end - first, gl.RGB, gl.UNSIGNED_SHORT_5_6_5,
                       new Uint16Array(heap.buffer, 2 * row, (end - first) * W));
      gl.drawArrays(gl.TRIANGLE_STRIP, 0, 4);
    } else {
      // The view is made again only when the program's memory has moved.
      if (!image || image.data.buffer !== heap.buffer || image.data.byteOffset !== rgba) {
        image = new ImageData(new Uint8ClampedArray(heap.buffer, rgba, W * H * 4), W, H);
      }
      context.putImageData(image, 0, 0, 0, first, W, end - first);
    }
  }

  // Nearest pixel only where a game pixel covers a device pixel or more.
  function fitScaling() {
    const shrunk = canvas.getBoundingClientRect().width * (window.devicePixelRatio || 1) < W - 0.5;
    canvas.classList.toggle("smooth", shrunk);
  }
  new ResizeObserver(fitScaling).observe(canvas);
  window.addEventListener("resize", fitScaling);

  return {
    gl: !!gl,
    // A frame: `heap` the program's memory, the frame in both forms, the
    // changed rows `first` to `end`.
    present(heap, rgb565, rgba, first, end) {
      last = { heap, rgb565, rgba };
      if (end > first) draw(heap, rgb565, rgba, first, end);
    },
    // The picture as RGB bytes, top row first (for the tests).
    rgb() {
      const out = new Uint8Array(W * H * 3);
      let px;
      if (gl) {
        if (last) draw(last.heap, last.rgb565, last.rgba, 0, H);
        px = new Uint8Array(W * H * 4);
        gl.readPixels(0, 0, W, H, gl.RGBA, gl.UNSIGNED_BYTE, px);
        for (let y = 0; y < H; y++) {
          for (let x = 0; x < W; x++) {
            const i = ((H - 1 - y) * W + x) * 4, o = (y * W + x) * 3;
            out[o] = px[i]; out[o + 1] = px[i + 1]; out[o + 2] = px[i + 2];
          }
        }
      } else {
        px = context.getImageData(0, 0, W, H).data;
        for (let i = 0, o = 0; i < px.length; i += 4, o += 3) { out[o] = px[i]; out[o + 1] = px[i + 1]; out[o + 2] = px[i + 2]; }
      }
      return out;
    },
  };
};
