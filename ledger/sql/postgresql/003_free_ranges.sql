-- Quillmark MAC ledger, schema version 3: the free ranges of every pool,
-- kept up to date by triggers in the transaction that records a batch or
-- a pool, so that the next free range is a walk over the gaps (usually
-- one) instead of over every batch of the pool.

-- Every pool less the batches that overlap it, as maximal ranges; the
-- rule the table below is kept to, and how it is filled.
CREATE VIEW quillmark.pool_gaps (pool, first_mac, end_mac) AS
SELECT pool, first_mac, end_mac FROM (
  -- the gap before each batch in the pool, from the end of the one before
  SELECT name AS pool,
         coalesce(lag(used_end) OVER (PARTITION BY name ORDER BY used_first), pool_first)
           AS first_mac,
         used_first AS end_mac
  FROM (SELECT p.name, lower(p.macs) AS pool_first,
               greatest(lower(b.macs), lower(p.macs)) AS used_first,
               least(upper(b.macs), upper(p.macs)) AS used_end
        FROM quillmark.pools p JOIN quillmark.batches b ON b.macs && p.macs) AS used
  UNION ALL
  -- the gap after the last batch, or the whole pool
  SELECT p.name,
         coalesce((SELECT least(upper(b.macs), upper(p.macs)) FROM quillmark.batches b
                   WHERE b.macs && p.macs ORDER BY b.first_mac DESC LIMIT 1), lower(p.macs)),
         upper(p.macs)
  FROM quillmark.pools p) AS gaps
WHERE end_mac > first_mac;

CREATE TABLE quillmark.free_ranges (
  first_mac bigint PRIMARY KEY,
  end_mac   bigint NOT NULL,
  CHECK (end_mac > first_mac)
);
INSERT INTO quillmark.free_ranges (first_mac, end_mac)
  SELECT first_mac, end_mac FROM quillmark.pool_gaps;

-- The triggers keep the table for whoever records a batch or a pool,
-- with the rights of the table's owner (a station may only read it), and
-- under the ledger-wide lock, so writers that bypass the program queue
-- like those that use it.
CREATE FUNCTION quillmark.add_free_ranges() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
BEGIN
  PERFORM pg_advisory_xact_lock(5859446373573633);
  INSERT INTO quillmark.free_ranges (first_mac, end_mac)
    SELECT first_mac, end_mac FROM quillmark.pool_gaps WHERE pool = NEW.name;
  RETURN NULL;
END;
$$;
CREATE TRIGGER pools_add_free_ranges AFTER INSERT ON quillmark.pools
  FOR EACH ROW EXECUTE FUNCTION quillmark.add_free_ranges();

-- A new batch lies inside one gap of its pool (or in no pool at all):
-- that gap gives way to what is left of it on either side.
CREATE FUNCTION quillmark.take_free_range() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog AS $$
DECLARE
  batch_end bigint := upper(NEW.macs);
  gap quillmark.free_ranges;
BEGIN
  PERFORM pg_advisory_xact_lock(5859446373573633);
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
CREATE TRIGGER batches_take_free_range AFTER INSERT ON quillmark.batches
  FOR EACH ROW EXECUTE FUNCTION quillmark.take_free_range();
