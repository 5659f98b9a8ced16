// Dumps every table of an .mdb file as read by mdb-reader (npm), one line per row with type-tagged
// cells, for the C++ tests to compare with. Text is tagged S only: mdb-reader decodes Jet 3 text as
// cp1252 whatever the file says. Usage: NODE_PATH=tests/node/node_modules node mdb_reader_dump.js FILE
// Lines: "T<tab>name<tab>columns", "R<tab>cell...", or "E<tab>name<tab>message" when a table fails.
// Cells: N null, B0/B1, I<integer>, F<number>, C<currency text>, D<ms since 1970 UTC>, X<hex>, G<guid>, S.
const fs = require("fs");
const MDBReader = require("mdb-reader").default || require("mdb-reader");

const reader = new MDBReader(fs.readFileSync(process.argv[2]));
const out = [];
for (const name of reader.getTableNames({ normalTables: true, systemTables: true })) {
  try {
    const table = reader.getTable(name);
    const columns = table.getColumns();
    const lines = [`T\t${name}\t${columns.length}`];
    for (const row of table.getData()) {
      const cells = columns.map((c) => {
        const v = row[c.name];
        if (v === null || v === undefined) return "N";
        switch (c.type) {
          case "boolean": return v ? "B1" : "B0";
          case "byte": case "integer": case "long": return "I" + v;
          case "float": case "double": return "F" + String(v);
          case "currency": return "C" + v;
          case "datetime": return "D" + v.getTime();
          case "binary": case "ole": return "X" + Buffer.from(v).toString("hex");
          case "repid": return "G" + v;
          default: return "S";
        }
      });
      lines.push("R\t" + cells.join("\t"));
    }
    out.push(...lines);
  } catch (e) {
    out.push(`E\t${name}\t${String(e && e.message).replace(/\s+/g, " ")}`);
  }
}
process.stdout.write(out.join("\n") + "\n");
