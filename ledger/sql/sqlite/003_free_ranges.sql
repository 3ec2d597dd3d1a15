-- Quillmark MAC ledger, schema version 3: the free ranges of every pool,
-- kept up to date by triggers in the transaction that records a batch or
-- a pool, so that the next free range is a walk over the gaps (usually
-- one) instead of over every batch of the pool.

-- Every pool less the batches that overlap it, as maximal ranges; the
-- rule the table below is kept to, and how it is filled.
CREATE VIEW pool_gaps (pool, first_mac, end_mac) AS
SELECT pool, first_mac, end_mac FROM (
  -- the gap before each batch in the pool, from the end of the one before
  SELECT name AS pool,
         coalesce(lag(used_end) OVER (PARTITION BY name ORDER BY used_first), pool_first)
           AS first_mac,
         used_first AS end_mac
  FROM (SELECT p.name, p.first_mac AS pool_first,
               max(b.first_mac, p.first_mac) AS used_first, min(b.end_mac, p.end_mac) AS used_end
        FROM pools p JOIN batches b ON b.first_mac < p.end_mac AND b.end_mac > p.first_mac)
  UNION ALL
  -- the gap after the last batch, or the whole pool
  SELECT p.name,
         coalesce((SELECT min(b.end_mac, p.end_mac) FROM batches b
                   WHERE b.first_mac < p.end_mac AND b.end_mac > p.first_mac
                   ORDER BY b.first_mac DESC LIMIT 1), p.first_mac),
         p.end_mac
  FROM pools p)
WHERE end_mac > first_mac;

CREATE TABLE free_ranges (
  first_mac INTEGER PRIMARY KEY,
  end_mac   INTEGER NOT NULL,
  CHECK (end_mac > first_mac)
) STRICT;
INSERT INTO free_ranges (first_mac, end_mac) SELECT first_mac, end_mac FROM pool_gaps;

CREATE TRIGGER pools_add_free_ranges AFTER INSERT ON pools
BEGIN
  INSERT INTO free_ranges (first_mac, end_mac)
    SELECT first_mac, end_mac FROM pool_gaps WHERE pool = NEW.name;
END;

-- A new batch lies inside one gap of its pool (or in no pool at all):
-- that gap gives way to what is left of it on either side.
CREATE TRIGGER batches_take_free_range AFTER INSERT ON batches
BEGIN
  INSERT INTO free_ranges (first_mac, end_mac)
    SELECT NEW.first_mac + NEW.device_count * NEW.macs_per_device, f.end_mac FROM free_ranges f
    WHERE f.first_mac = (SELECT max(first_mac) FROM free_ranges WHERE first_mac <= NEW.first_mac)
      AND f.end_mac > NEW.first_mac + NEW.device_count * NEW.macs_per_device;
  UPDATE free_ranges SET end_mac = NEW.first_mac
    WHERE first_mac = (SELECT max(first_mac) FROM free_ranges WHERE first_mac <= NEW.first_mac)
      AND first_mac < NEW.first_mac
      AND end_mac >= NEW.first_mac + NEW.device_count * NEW.macs_per_device;
  DELETE FROM free_ranges
    WHERE first_mac = NEW.first_mac
      AND end_mac >= NEW.first_mac + NEW.device_count * NEW.macs_per_device;
END;
