-- Least-privilege roles for a shared Quillmark ledger on PostgreSQL.
--
-- Run as a database superuser after `quillmark-cli ledger init`, and again
-- after every schema upgrade (it is safe to run any number of times):
--   psql "service=quillmark-admin" -v ON_ERROR_STOP=1 -f roles.sql
-- then give each person or station a login in one of the roles:
--   CREATE ROLE line3 LOGIN IN ROLE quillmark_station;
--   CREATE ROLE lin LOGIN IN ROLE quillmark_supervisor;
--
-- quillmark_station     reads the ledger, records batches and their outcomes
-- quillmark_supervisor  a station that may also add pools and void batches
-- quillmark_owner       owns the schema: `ledger init` (upgrades) runs as it
--
-- Nobody gets DELETE, TRUNCATE or UPDATE of a recorded row: the tables'
-- triggers refuse those even to the owner. Who and when is filled in by
-- the database (session_user, now()); a station cannot write those columns.

DO $$
DECLARE
  role_name text;
BEGIN
  FOREACH role_name IN ARRAY ARRAY['quillmark_owner', 'quillmark_station', 'quillmark_supervisor']
  LOOP
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = role_name) THEN
      EXECUTE format('CREATE ROLE %I NOLOGIN', role_name);
    END IF;
  END LOOP;
END
$$;

GRANT quillmark_station TO quillmark_supervisor;

-- The owner owns the schema and everything in it (tables made by a later
-- upgrade included, once this file runs again).
ALTER SCHEMA quillmark OWNER TO quillmark_owner;
DO $$
DECLARE
  item record;
BEGIN
  FOR item IN SELECT c.oid::regclass AS name, c.relkind FROM pg_class c
              WHERE c.relnamespace = 'quillmark'::regnamespace AND c.relkind IN ('r', 'v')
  LOOP
    EXECUTE format('ALTER %s %s OWNER TO quillmark_owner',
                   CASE item.relkind WHEN 'v' THEN 'VIEW' ELSE 'TABLE' END, item.name);
  END LOOP;
  FOR item IN SELECT p.oid::regprocedure AS name FROM pg_proc p
              WHERE p.pronamespace = 'quillmark'::regnamespace
  LOOP
    EXECUTE format('ALTER FUNCTION %s OWNER TO quillmark_owner', item.name);
  END LOOP;
END
$$;

REVOKE ALL ON SCHEMA quillmark FROM PUBLIC;
REVOKE ALL ON ALL TABLES IN SCHEMA quillmark FROM PUBLIC, quillmark_station, quillmark_supervisor;
GRANT USAGE ON SCHEMA quillmark TO quillmark_station;
GRANT SELECT ON ALL TABLES IN SCHEMA quillmark TO quillmark_station;

-- A station records a batch and its writes by naming only these columns.
GRANT INSERT (first_mac, device_count, macs_per_device, station, pool)
  ON quillmark.batches TO quillmark_station;
GRANT INSERT (batch_id, station, image_sha256, output_folder)
  ON quillmark.batch_writes TO quillmark_station;
GRANT UPDATE (devices_written, devices_failed, ending)
  ON quillmark.batch_writes TO quillmark_station;

-- A supervisor adds pools and voids batches.
GRANT INSERT (name, macs) ON quillmark.pools TO quillmark_supervisor;
GRANT INSERT (batch_id, reason) ON quillmark.voids TO quillmark_supervisor;
