-- Quillmark MAC ledger, schema version 4: the version is one row, and the
-- ledger-wide lock is the ledger's own function.

-- A ledger touched by hand may hold several rows; the highest was its
-- version. From now on a second row cannot be added.
DO $$
DECLARE
  latest integer := (SELECT max(version) FROM quillmark.schema_version);
BEGIN
  DELETE FROM quillmark.schema_version;
  INSERT INTO quillmark.schema_version (version) VALUES (latest);
END
$$;
CREATE UNIQUE INDEX schema_version_one_row ON quillmark.schema_version ((true));

-- Every transaction that writes takes this lock first, so stations racing
-- for the same next range queue instead of deadlocking. It is a lock on a
-- table of its own rather than an advisory lock, which any role of the
-- database could take (and hold without a transaction): locking the table
-- needs rights that only its owner has, so others take it only through
-- this function, for no longer than their transaction. A transaction that
-- holds it and then idles (a session left open by hand) is ended after a
-- minute, so that it cannot stall every station.
CREATE TABLE quillmark.ledger_lock ();

CREATE FUNCTION quillmark.take_ledger_lock() RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
  LOCK TABLE quillmark.ledger_lock IN EXCLUSIVE MODE;
  PERFORM set_config('idle_in_transaction_session_timeout', '1min', true);
END;
$$;

-- The triggers that keep the free ranges take the same lock.
CREATE OR REPLACE FUNCTION quillmark.add_free_ranges() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
  PERFORM quillmark.take_ledger_lock();
  INSERT INTO quillmark.free_ranges (first_mac, end_mac)
    SELECT first_mac, end_mac FROM quillmark.pool_gaps WHERE pool = NEW.name;
  RETURN NULL;
END;
$$;

CREATE OR REPLACE FUNCTION quillmark.take_free_range() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
DECLARE
  batch_end bigint := upper(NEW.macs);
  gap quillmark.free_ranges;
BEGIN
  PERFORM quillmark.take_ledger_lock();
  SELECT * INTO gap FROM quillmark.free_ranges
    WHERE first_mac <= NEW.first_mac ORDER BY first_mac DESC LIMIT 1;
  IF NOT FOUND OR gap.end_mac < batch_end THEN
    RETURN NULL;
  END IF;
  DELETE FROM quillmark.free_ranges WHERE first_mac = gap.first_mac;
  IF gap.first_mac < NEW.first_mac THEN
    INSERT INTO quillmark.free_ranges VALUES (gap.first_mac, NEW.first_mac);
  END IF;
  IF batch_end < gap.end_mac THEN
    INSERT INTO quillmark.free_ranges VALUES (batch_end, gap.end_mac);
  END IF;
  RETURN NULL;
END;
$$;
