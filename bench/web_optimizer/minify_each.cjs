// Packs every .html file of a folder with html-minifier-terser in one node process, one file at
// a time, with the options of its command line --collapse-whitespace --remove-comments; a file
// it cannot parse is named on standard error and left out.
//   node minify_each.cjs NODE_MODULES_DIR IN_DIR OUT_DIR
const fs = require('fs');
const path = require('path');
const { minify } = require(path.join(process.argv[2], 'html-minifier-terser'));

(async () => {
  const [input, output] = [process.argv[3], process.argv[4]];
  const started = process.hrtime.bigint();
  for (const name of fs.readdirSync(input).filter((n) => n.endsWith('.html'))) {
    const text = fs.readFileSync(path.join(input, name), 'utf8');
    try {
      const packed = await minify(text, { collapseWhitespace: true, removeComments: true });
      fs.writeFileSync(path.join(output, name), packed, 'utf8');
    } catch (e) {
      console.error(`refused ${name}: ${String(e.message).slice(0, 120)}`);
    }
  }
  console.log(`minify ms ${Number(process.hrtime.bigint() - started) / 1e6}`);
})();
