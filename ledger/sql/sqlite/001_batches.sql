-- Quillmark MAC ledger, schema version 1: the batches and their writes.
-- Every address range ever issued is a row of batches; no two ranges may
-- overlap, and no row is ever changed or deleted. Applied by
-- `quillmark-cli ledger init` in one transaction, which records the version.

PRAGMA application_id = 1363952715;  -- 'QLDK'

CREATE TABLE batches (
  id              INTEGER PRIMARY KEY,
  first_mac       INTEGER NOT NULL CHECK (first_mac >= 0),
  device_count    INTEGER NOT NULL CHECK (device_count BETWEEN 1 AND 65535),
  macs_per_device INTEGER NOT NULL CHECK (macs_per_device BETWEEN 1 AND 4),
  end_mac         INTEGER NOT NULL GENERATED ALWAYS AS
                    (first_mac + device_count * macs_per_device) STORED,
  station         TEXT NOT NULL CHECK (station <> ''),
  recorded_by     TEXT NOT NULL,
  recorded_at     TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now')),
  CHECK (end_mac <= 281474976710656)
) STRICT;
-- Ranges never overlap, so the only batch that can overlap [a, b) is the
-- one with the greatest first address below b: one index seek.
CREATE UNIQUE INDEX batches_by_first_mac ON batches (first_mac);

-- The rule itself: whoever inserts, two batches never share an address.
CREATE TRIGGER batches_never_overlap BEFORE INSERT ON batches
WHEN (SELECT b.end_mac FROM batches b
      WHERE b.first_mac < NEW.first_mac + NEW.device_count * NEW.macs_per_device
      ORDER BY b.first_mac DESC LIMIT 1) > NEW.first_mac
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the range overlaps a recorded batch');
END;
-- A recorded range never moves, so no update can make two overlap.
CREATE TRIGGER batches_keep BEFORE UPDATE ON batches
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;
CREATE TRIGGER batches_keep_rows BEFORE DELETE ON batches
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;

-- One row per time a batch's images were written: the first write when
-- the batch was recorded, another for each re-run of the same devices.
CREATE TABLE batch_writes (
  id              INTEGER PRIMARY KEY,
  batch_id        INTEGER NOT NULL REFERENCES batches,
  station         TEXT NOT NULL CHECK (station <> ''),
  image_sha256    TEXT NOT NULL CHECK (length(image_sha256) = 64
                                       AND image_sha256 NOT GLOB '*[^0-9a-f]*'),
  output_folder   TEXT NOT NULL,
  written_by      TEXT NOT NULL,
  started_at      TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now')),
  -- The outcome, recorded once when the run ends; empty after a crash.
  ended_at        TEXT,
  devices_written INTEGER CHECK (devices_written >= 0),
  devices_failed  INTEGER CHECK (devices_failed >= 0),
  ending          TEXT CHECK (ending IN ('finished', 'stopped', 'failed')),
  CHECK ((ending IS NULL) = (ended_at IS NULL) AND (ending IS NULL) = (devices_written IS NULL)
         AND (ending IS NULL) = (devices_failed IS NULL))
) STRICT;
CREATE INDEX batch_writes_by_batch ON batch_writes (batch_id);

-- A write's outcome is set once; nothing else of the row ever changes.
CREATE TRIGGER batch_writes_outcome BEFORE UPDATE ON batch_writes
WHEN OLD.ending IS NOT NULL OR NEW.ending IS NULL
     OR NEW.id IS NOT OLD.id OR NEW.batch_id IS NOT OLD.batch_id
     OR NEW.station IS NOT OLD.station OR NEW.image_sha256 IS NOT OLD.image_sha256
     OR NEW.output_folder IS NOT OLD.output_folder OR NEW.written_by IS NOT OLD.written_by
     OR NEW.started_at IS NOT OLD.started_at
BEGIN
  SELECT RAISE(ABORT, 'quillmark: a write''s outcome is recorded once and nothing else changes');
END;
CREATE TRIGGER batch_writes_keep_rows BEFORE DELETE ON batch_writes
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;
