// Reads a PNG into {width, height, rgb}: 8-bit greyscale, RGB or RGBA, not
// interlaced, as Chromium's screenshots and the framework's KvSavePng write
// them; anything else is refused. rgb holds width * height * 3 bytes.
import { inflateSync } from "node:zlib";

const kChannels = { 0: 1, 2: 3, 6: 4 };

export function readPng(bytes) {
  if (bytes.readUInt32BE(0) !== 0x89504e47) throw new Error("not a PNG");
  let width = 0, height = 0, channels = 0;
  const data = [];
  for (let at = 8; at + 8 <= bytes.length;) {
    const length = bytes.readUInt32BE(at);
    const type = bytes.toString("latin1", at + 4, at + 8);
    const body = bytes.subarray(at + 8, at + 8 + length);
    if (type === "IHDR") {
      width = body.readUInt32BE(0);
      height = body.readUInt32BE(4);
      channels = kChannels[body[9]];
      if (body[8] !== 8 || !channels || body[12] !== 0) throw new Error("a PNG form this reader does not take");
    } else if (type === "IDAT") {
      data.push(body);
    }
    at += 12 + length;
  }
  const raw = inflateSync(Buffer.concat(data));
  const stride = width * channels;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; ++y) {
    const filter = raw[y * (stride + 1)];
    const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; ++x) {
      const a = x >= channels ? rows[y * stride + x - channels] : 0;
      const b = y > 0 ? rows[(y - 1) * stride + x] : 0;
      const c = x >= channels && y > 0 ? rows[(y - 1) * stride + x - channels] : 0;
      const p = a + b - c, pa = Math.abs(p - a), pb = Math.abs(p - b), pc = Math.abs(p - c);
      const predicted = [0, a, b, (a + b) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? b : c][filter];
      if (predicted === undefined) throw new Error(`PNG filter ${filter}`);
      rows[y * stride + x] = (line[x] + predicted) & 0xff;
    }
  }
  const rgb = Buffer.alloc(width * height * 3);
  for (let i = 0; i < width * height; ++i)
    for (let k = 0; k < 3; ++k) rgb[i * 3 + k] = rows[i * channels + (channels < 3 ? 0 : k)];
  return { width, height, rgb };
}
