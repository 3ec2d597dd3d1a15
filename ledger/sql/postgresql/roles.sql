-- Least-privilege roles for a shared Quillmark ledger on PostgreSQL.
--
-- Run as a database superuser after `quillmark-cli ledger init` made the
-- schema (it is safe to run any number of times), then run `ledger init`
-- once more: every init grants the roles their rights on the schema as it
-- stands (grants.sql), so an upgrade needs nothing run by hand.
--   quillmark-cli ledger init "service=quillmark-admin"
--   psql "service=quillmark-admin" -v ON_ERROR_STOP=1 -f roles.sql
--   quillmark-cli ledger init "service=quillmark-admin"
-- then give each person or station a login in one of the roles:
--   CREATE ROLE line3 LOGIN IN ROLE quillmark_station;
--   CREATE ROLE lin LOGIN IN ROLE quillmark_supervisor;
--
-- quillmark_station     reads the ledger, records batches and their outcomes
-- quillmark_supervisor  a station that may also add pools and void batches
-- quillmark_owner       owns the schema: `ledger init` (upgrades) runs as it

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

-- The owner owns the schema and everything in it; a later upgrade by a
-- member of the owner role makes its objects as that role.
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
