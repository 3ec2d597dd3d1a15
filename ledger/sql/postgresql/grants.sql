-- The rights of a shared ledger's roles on its schema as it stands.
--
-- `quillmark-cli ledger init` applies this file after creating or
-- upgrading the schema, every time it runs, so the rights follow every
-- upgrade without a hand-run script; roles.sql makes the roles it names,
-- and until it has, nothing here happens. Only what a role is granted here
-- it may do: each run first takes back everything granted before.
--
-- quillmark_station     reads the ledger; records batches and their writes
--                       (a rerun's reason with its write) by naming their
--                       columns, and the outcome of its own writes through
--                       record_write_outcome()
-- quillmark_supervisor  a station that may also add pools and serial series
--                       and void batches
--
-- Nobody gets DELETE, TRUNCATE or UPDATE of a recorded row: the tables'
-- triggers refuse those even to the owner. Who and when is filled in by
-- the database (session_user, now()); a station cannot write those columns.

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'quillmark_station')
     OR NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'quillmark_supervisor') THEN
    RETURN;
  END IF;

  REVOKE ALL ON SCHEMA quillmark FROM PUBLIC;
  REVOKE ALL ON ALL TABLES IN SCHEMA quillmark
    FROM PUBLIC, quillmark_station, quillmark_supervisor;
  REVOKE ALL ON ALL FUNCTIONS IN SCHEMA quillmark
    FROM PUBLIC, quillmark_station, quillmark_supervisor;

  GRANT USAGE ON SCHEMA quillmark TO quillmark_station;
  GRANT SELECT ON ALL TABLES IN SCHEMA quillmark TO quillmark_station;
  GRANT INSERT (first_mac, device_count, macs_per_device, station, pool, lot, series,
                first_seq, serial_date)
    ON quillmark.batches TO quillmark_station;
  GRANT INSERT (batch_id, station, image_sha256, output_folder, rerun_reason)
    ON quillmark.batch_writes TO quillmark_station;
  -- The ledger's lock and a write's outcome only through the ledger's own
  -- functions: no station may lock the ledger's tables or change a row.
  GRANT EXECUTE ON FUNCTION quillmark.take_ledger_lock(), quillmark.take_pool_lock(text),
    quillmark.record_write_outcome(bigint, integer, integer, text) TO quillmark_station;

  GRANT INSERT (name, macs) ON quillmark.pools TO quillmark_supervisor;
  GRANT INSERT (name, template, first_seq, end_seq) ON quillmark.serial_series
    TO quillmark_supervisor;
  GRANT INSERT (batch_id, reason) ON quillmark.voids TO quillmark_supervisor;
END
$$;
