// Renders every label of a ZPL file to PNG with an independent renderer:
//   node render.js FILE.zpl WIDTH_MM HEIGHT_MM DOTS_PER_MM OUT_PREFIX
// writes OUT_PREFIX1.png, OUT_PREFIX2.png, … and prints how many.
const fs = require("node:fs");
const { ready } = require("zpl-renderer-js");

(async () => {
  const [file, width, height, dpmm, prefix] = process.argv.slice(2);
  const { api } = await ready;
  const zpl = fs.readFileSync(file, "latin1");
  const labels = await api.zplToBase64MultipleAsync(zpl, Number(width), Number(height), Number(dpmm));
  labels.forEach((png, i) => fs.writeFileSync(`${prefix}${i + 1}.png`, Buffer.from(png, "base64")));
  console.log(labels.length);
  process.exit(0);
})().catch((error) => {
  console.error(String(error));
  process.exit(1);
});
