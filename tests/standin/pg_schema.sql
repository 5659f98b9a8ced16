-- The PostgreSQL stand-in's schema: an Oracle-like user schema with the dictionary views
-- user_objects and user_sequences, tables of every column type, odd names, views and sequences.

-- Names are stored in lower case and listed in upper case, as Oracle lists unquoted names; a name
-- that is not a plain identifier ("Emp", "order lines") is listed exactly as stored.

CREATE TABLE departments (
  dept_id   numeric(4) PRIMARY KEY,
  dept_name varchar(40) NOT NULL,
  location  varchar(40)
);

CREATE TABLE employees (
  emp_id     numeric(6) PRIMARY KEY,
  emp_name   varchar(40) NOT NULL,
  kana       varchar(60),
  dept_id    numeric(4) REFERENCES departments,
  hire_date  date,
  salary     numeric(10,2),
  commission numeric(5,2),
  note       text
);

-- One column of every type the conversion accepts; row 1 holds ordinary values, row 2 only nulls,
-- row 3 the extremes and the long values.
-- c_number has no precision of its own; psqlODBC describes such columns as numeric(28,6), so its
-- values stay within that.
CREATE TABLE all_types (
  id         integer PRIMARY KEY,
  c_num4     numeric(4),
  c_num9     numeric(9),
  c_num15    numeric(15),
  c_num15_2  numeric(15,2),
  c_num20    numeric(20),
  c_num30_5  numeric(30,5),
  c_number   numeric,
  c_char     char(10),
  c_varchar  varchar(100),
  c_vc200    varchar(200),
  c_text     text,
  c_bytea    bytea,
  c_date     date,
  c_ts       timestamp,
  c_int      integer,
  c_small    smallint,
  c_big      bigint,
  c_real     real,
  c_double   double precision,
  c_bool     boolean
);

INSERT INTO all_types VALUES
  (1, 1234, 123456789, 123456789012345, 1234567890123.45, 12345678901234567890,
   1234567890123456789012345.12345, 1234567890123456789012.123456,
   'ABC', '日本語のテキスト', 'ｶﾀｶﾅ・ひらがな・漢字', '短いメモ', '\x00ff10'::bytea,
   '2024-02-29', '2024-02-29 13:45:30.250', 2147483647, -32768, 9223372036854775807,
   1.5, 2.718281828459045, true),
  (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
   NULL, NULL, NULL, NULL),
  (3, -9999, -999999999, -999999999999999, -9999999999999.99, -99999999999999999999,
   -9999999999999999999999999.99999, -0.000001,
   '全角１０文字ちょうど', '', repeat('長', 200), repeat('日本語の長いテキスト。', 100),
   (SELECT decode(string_agg(lpad(to_hex(i % 256), 2, '0'), '' ORDER BY i), 'hex')
      FROM generate_series(0, 2499) AS i),
   '0001-01-01', '9999-12-31 23:59:59', -2147483648, 32767, -9223372036854775808,
   -3.25, -1e300, false);

-- Types a Jet 3 file has no field type for: the conversion names them and stops.
CREATE TABLE odd_types (c_time time, c_uuid uuid, c_interval interval);
INSERT INTO odd_types VALUES
  ('23:59:58', 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11', '3 days 04:05:06');

-- Names that are not plain identifiers: Oracle would refuse them unquoted in a query, and so does
-- this server.
CREATE TABLE "Emp" (id integer, name varchar(20));
INSERT INTO "Emp" VALUES (1, 'mixed');
CREATE TABLE "order lines" (id integer, qty integer);
INSERT INTO "order lines" VALUES (1, 2);

-- 2,500 rows, to read across several fetch blocks.
CREATE TABLE block_rows (n integer, label varchar(20), amount numeric(12,2));
INSERT INTO block_rows
  SELECT i, '行' || i, i * 1.25 FROM generate_series(1, 2500) AS i;

CREATE VIEW emp_dept AS
  SELECT e.emp_id, e.emp_name, d.dept_name FROM employees e JOIN departments d USING (dept_id);
-- Listed as a synonym of employees.
CREATE VIEW staff AS SELECT * FROM employees;
COMMENT ON VIEW staff IS 'SYNONYM';

INSERT INTO departments VALUES (10, '総務部', '東京'), (20, '営業部', '大阪'), (30, '開発部', NULL);
INSERT INTO employees VALUES
  (7369, '山田 太郎', 'ヤマダ タロウ', 20, '1980-12-17', 800, NULL, NULL),
  (7499, '佐藤 花子', 'サトウ ハナコ', 30, '1981-02-20', 1600, 300, '週休三日'),
  (7521, '鈴木 一郎', NULL, 10, '1981-02-22', 1250.5, 500, NULL);

CREATE SEQUENCE emp_seq START WITH 8000;
CREATE SEQUENCE dept_seq START WITH 40 INCREMENT BY 10 MAXVALUE 990 CYCLE;

CREATE VIEW user_objects AS
  SELECT name AS object_name, kind AS object_type, 'VALID'::varchar(7) AS status,
         row_number() OVER () AS rownum
    FROM (SELECT CASE WHEN c.relname ~ '^[a-z_][a-z0-9_$#]*$' THEN upper(c.relname)
                      ELSE c.relname END::varchar(128) AS name,
                 CASE c.relkind
                   WHEN 'r' THEN 'TABLE'
                   WHEN 'S' THEN 'SEQUENCE'
                   WHEN 'v' THEN CASE WHEN obj_description(c.oid, 'pg_class') = 'SYNONYM'
                                      THEN 'SYNONYM' ELSE 'VIEW' END
                 END::varchar(23) AS kind,
                 c.oid
            FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
           WHERE n.nspname = current_schema()
             AND c.relkind IN ('r', 'v', 'S')
             AND c.relname NOT IN ('user_objects', 'user_sequences')
           ORDER BY c.oid) AS o;

CREATE VIEW user_sequences AS
  SELECT upper(sequencename)::varchar(128) AS sequence_name,
         min_value::numeric AS min_value,
         max_value::numeric AS max_value,
         increment_by::numeric AS increment_by,
         (CASE WHEN cycle THEN 'Y' ELSE 'N' END)::varchar(1) AS cycle_flag,
         'N'::varchar(1) AS order_flag,
         cache_size::numeric AS cache_size,
         coalesce(last_value + increment_by, start_value)::numeric AS last_number
    FROM pg_sequences
   WHERE schemaname = current_schema();
