// Writes the default data set's fade table for the web build: the engine's own computation (fade_tool.wasm) over
// the reference palette, written whole through a temporary file.
// usage: node make_fade_table.mjs FADE_TOOL.wasm REFRENCE.PAL FADE.DAT
import { readFileSync, renameSync, writeFileSync } from 'node:fs';

const [tool, referencePath, output] = process.argv.slice(2);
const reference = readFileSync(referencePath);
if (reference.length < 768 || reference.length > 772) {
  console.error(`make_fade_table: '${referencePath}' is ${reference.length} bytes, not 768 to 772`);
  process.exit(1);
}
const { instance } = await WebAssembly.instantiate(readFileSync(tool), {});
const x = instance.exports;
x._initialize();
new Uint8Array(x.memory.buffer, x.tv_fade_reference(), 768).set(reference.subarray(0, 768));
const at = x.tv_fade_compute();  // may grow the memory, which detaches views made before
const table = new Uint8Array(x.memory.buffer, at, 65536);
writeFileSync(`${output}.part`, table);
renameSync(`${output}.part`, output);
