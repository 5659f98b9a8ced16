// Prints the structure of one table of an .mdb file and its values as JSON, read by mdb-reader
// (an independent reader). Text is left out: mdb-reader decodes Jet 3 text as cp1252 only.
// Usage: node read_mdb.js <file> <table>
const fs = require("fs");
const MDBReader = require("mdb-reader").default || require("mdb-reader");

const [file, tableName] = process.argv.slice(2);
const reader = new MDBReader(fs.readFileSync(file));
const table = reader.getTable(tableName);
const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type, size: c.size }));
const textual = new Set(table.getColumns().filter((c) => c.type === "text" || c.type === "memo").map((c) => c.name));
const rows = table.getData().map((row) => {
  const out = {};
  for (const [k, v] of Object.entries(row)) {
    if (textual.has(k)) out[k] = v === null ? null : "<text>";
    else if (v instanceof Date) out[k] = v.toISOString();
    else if (Buffer.isBuffer(v)) out[k] = v.toString("hex");
    else out[k] = v;
  }
  return out;
});
console.log(JSON.stringify({ tables: reader.getTableNames(), rowCount: table.rowCount, columns, rows }));
