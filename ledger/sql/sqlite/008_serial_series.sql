-- Quillmark MAC ledger, schema version 8: serial number series beside the
-- address pools. A batch of a series takes the next device_count numbers
-- of its sequence in the transaction that records its addresses, one per
-- device in device order, and keeps them for ever as it keeps its
-- addresses: a stopped, failed or voided batch gives none back. The
-- serials themselves are the series' template filled in with the batch's
-- serial_date (the day, UTC), lot, station and each number.

CREATE TABLE serial_series (
  name       TEXT PRIMARY KEY CHECK (name <> ''),
  template   TEXT NOT NULL CHECK (template <> '' AND length(template) <= 200),
  first_seq  INTEGER NOT NULL CHECK (first_seq >= 0),
  end_seq    INTEGER NOT NULL CHECK (end_seq > first_seq),
  created_by TEXT NOT NULL,
  created_at TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))
) STRICT;
CREATE TRIGGER serial_series_keep BEFORE UPDATE ON serial_series
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;
CREATE TRIGGER serial_series_keep_rows BEFORE DELETE ON serial_series
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the ledger keeps every row');
END;

ALTER TABLE batches ADD COLUMN series TEXT REFERENCES serial_series;
ALTER TABLE batches ADD COLUMN first_seq INTEGER;
ALTER TABLE batches ADD COLUMN serial_date TEXT;
CREATE UNIQUE INDEX batches_by_series ON batches (series, first_seq) WHERE series IS NOT NULL;

-- A batch of a series names its numbers and their day, inside the series.
CREATE TRIGGER batches_serials_in_series BEFORE INSERT ON batches
WHEN NEW.series IS NOT NULL
     AND (NEW.first_seq IS NULL OR NEW.serial_date IS NULL
          OR NOT EXISTS (SELECT 1 FROM serial_series s
                         WHERE s.name = NEW.series AND NEW.first_seq >= s.first_seq
                           AND NEW.first_seq + NEW.device_count <= s.end_seq))
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the batch''s serials lie outside its series');
END;

-- The rule itself: whoever inserts, two batches never share a number of
-- one series. Ranges of a series never overlap, so only the one starting
-- last below the new range's end can reach into it.
CREATE TRIGGER batches_serials_never_overlap BEFORE INSERT ON batches
WHEN NEW.series IS NOT NULL
     AND (SELECT b.first_seq + b.device_count FROM batches b
          WHERE b.series = NEW.series AND b.first_seq < NEW.first_seq + NEW.device_count
          ORDER BY b.first_seq DESC LIMIT 1) > NEW.first_seq
BEGIN
  SELECT RAISE(ABORT, 'quillmark: the batch''s serials overlap another batch''s');
END;
