-- Quillmark MAC ledger, schema version 8: serial number series beside the
-- address pools. A batch of a series takes the next device_count numbers
-- of its sequence in the transaction that records its addresses, one per
-- device in device order, and keeps them for ever as it keeps its
-- addresses: a stopped, failed or voided batch gives none back. The
-- serials themselves are the series' template filled in with the batch's
-- serial_date (the day, UTC), lot, station and each number.

CREATE TABLE quillmark.serial_series (
  name       text PRIMARY KEY CHECK (name <> ''),
  template   text NOT NULL CHECK (template <> '' AND char_length(template) <= 200),
  first_seq  bigint NOT NULL CHECK (first_seq >= 0),
  end_seq    bigint NOT NULL CHECK (end_seq > first_seq),
  created_by text NOT NULL,
  created_at timestamptz NOT NULL
);
CREATE TRIGGER serial_series_stamp BEFORE INSERT ON quillmark.serial_series
  FOR EACH ROW EXECUTE FUNCTION quillmark.stamp_pool();
CREATE TRIGGER serial_series_keep BEFORE UPDATE OR DELETE ON quillmark.serial_series
  FOR EACH ROW EXECUTE FUNCTION quillmark.refuse_change();
CREATE TRIGGER serial_series_keep_all BEFORE TRUNCATE ON quillmark.serial_series
  FOR EACH STATEMENT EXECUTE FUNCTION quillmark.refuse_change();

ALTER TABLE quillmark.batches ADD COLUMN series text REFERENCES quillmark.serial_series;
ALTER TABLE quillmark.batches ADD COLUMN first_seq bigint;
ALTER TABLE quillmark.batches ADD COLUMN serial_date date;
CREATE UNIQUE INDEX batches_by_series ON quillmark.batches (series, first_seq)
  WHERE series IS NOT NULL;

-- A batch of a series names its numbers and their day inside the series,
-- and, whoever inserts, two batches never share a number of one series.
-- Ranges of a series never overlap, so only the one starting last below
-- the new range's end can reach into it.
CREATE FUNCTION quillmark.check_batch_serials() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  IF NEW.series IS NULL THEN
    RETURN NEW;
  END IF;
  IF NEW.first_seq IS NULL OR NEW.serial_date IS NULL
     OR NOT EXISTS (SELECT FROM quillmark.serial_series s
                    WHERE s.name = NEW.series AND NEW.first_seq >= s.first_seq
                      AND NEW.first_seq + NEW.device_count <= s.end_seq) THEN
    RAISE EXCEPTION 'the batch''s serials lie outside series %', NEW.series
      USING ERRCODE = 'check_violation';
  END IF;
  IF (SELECT b.first_seq + b.device_count FROM quillmark.batches b
      WHERE b.series = NEW.series AND b.first_seq < NEW.first_seq + NEW.device_count
      ORDER BY b.first_seq DESC LIMIT 1) > NEW.first_seq THEN
    RAISE EXCEPTION 'the batch''s serials overlap another batch''s in series %', NEW.series
      USING ERRCODE = 'exclusion_violation';
  END IF;
  RETURN NEW;
END;
$$;
CREATE TRIGGER batches_serials BEFORE INSERT ON quillmark.batches
  FOR EACH ROW EXECUTE FUNCTION quillmark.check_batch_serials();
