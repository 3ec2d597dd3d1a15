-- Quillmark MAC ledger, schema version 2: address pools and voided batches.
-- Where pools exist, every new batch lies inside one of them, so a batch
-- can no longer carry out of its addresses into a neighbour's. A voided
-- batch stays in the ledger and keeps blocking its range.

CREATE TABLE pools (
  name       TEXT PRIMARY KEY CHECK (name <> ''),
  first_mac  INTEGER NOT NULL CHECK (first_mac >= 0),
  end_mac    INTEGER NOT NULL CHECK (end_mac > first_mac AND end_mac <= 281474976710656),
  created_by TEXT NOT NULL,
  created_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))
) STRICT;
CREATE UNIQUE INDEX pools_by_first_mac ON pools (first_mac);

CREATE TRIGGER pools_never_overlap BEFORE INSERT ON pools
WHEN EXISTS (SELECT 1 FROM pools p WHERE p.first_mac < NEW.end_mac AND p.end_mac > NEW.first_mac)
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the pool overlaps another pool');
END;
CREATE TRIGGER pools_keep BEFORE UPDATE ON pools
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;
CREATE TRIGGER pools_keep_rows BEFORE DELETE ON pools
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;

ALTER TABLE batches ADD COLUMN pool TEXT REFERENCES pools;

-- A new batch lies inside its pool, or inside some pool when it names
-- none and pools exist.
CREATE TRIGGER batches_inside_pool BEFORE INSERT ON batches
WHEN EXISTS (SELECT 1 FROM pools)
     AND NOT EXISTS (SELECT 1 FROM pools p
                     WHERE p.first_mac <= NEW.first_mac
                       AND p.end_mac >= NEW.first_mac + NEW.device_count * NEW.macs_per_device
                       AND (NEW.pool IS NULL OR p.name = NEW.pool))
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the batch lies inside no pool');
END;

CREATE TABLE voids (
  batch_id  INTEGER PRIMARY KEY REFERENCES batches,
  reason    TEXT NOT NULL CHECK (trim(reason) <> ''),
  voided_by TEXT NOT NULL,
  voided_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))
) STRICT;
CREATE TRIGGER voids_keep BEFORE UPDATE ON voids
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;
CREATE TRIGGER voids_keep_rows BEFORE DELETE ON voids
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;
