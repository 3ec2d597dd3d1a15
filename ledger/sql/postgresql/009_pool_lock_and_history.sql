-- Quillmark MAC ledger, schema version 9: a station taking the next free
-- range of a pool locks that pool, not the whole ledger, so stations on
-- different pools record side by side; and a listing since a day reads
-- that day's batches, not the whole history.

-- The pool's lock: its row in pools, locked as no writer but this
-- function can (FOR NO KEY UPDATE, which a batch's reference to its pool
-- does not wait for), beside the ledger-wide lock in the mode that only
-- the ledger-wide lock itself conflicts with. So a writer of the whole
-- ledger (a new pool, a void, a range given without its pool) waits for
-- every pool's writer and they for it, while two pools' writers never
-- wait for each other. Two batches of one pool still queue; two batches
-- of different pools cannot overlap, as pools never do, and the exclusion
-- constraint stays the rule whoever inserts.
CREATE FUNCTION quillmark.take_pool_lock(pool_name text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
  LOCK TABLE quillmark.ledger_lock IN ROW SHARE MODE;
  PERFORM set_config('idle_in_transaction_session_timeout', '1min', true);
  PERFORM FROM quillmark.pools WHERE name = pool_name FOR NO KEY UPDATE;
END;
$$;

-- The free ranges of a batch's pool are kept under that pool's lock; a
-- batch that names no pool takes the ledger-wide one, as before.
CREATE OR REPLACE FUNCTION quillmark.take_free_range() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
DECLARE
  batch_end bigint := upper(NEW.macs);
  gap quillmark.free_ranges;
BEGIN
  IF NEW.pool IS NULL THEN
    PERFORM quillmark.take_ledger_lock();
  ELSE
    PERFORM quillmark.take_pool_lock(NEW.pool);
  END IF;
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

-- `ledger list --since` and the report's period.
CREATE INDEX batches_by_recorded_at ON quillmark.batches (recorded_at);
