-- Quillmark MAC ledger, schema version 1: the batches and their writes.
-- Every address range ever issued is a row of quillmark.batches; no two
-- ranges may overlap, and no row is ever changed or deleted. Applied by
-- `quillmark-cli ledger init` in one transaction, which records the version.

CREATE SCHEMA IF NOT EXISTS quillmark;

CREATE TABLE quillmark.schema_version (
  version integer NOT NULL
);

-- Raised by the triggers that keep the ledger append-only.
CREATE FUNCTION quillmark.refuse_change() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  RAISE EXCEPTION 'the ledger keeps every row: % on % refused', TG_OP, TG_TABLE_NAME
    USING ERRCODE = 'insufficient_privilege';
END;
$$;

-- The database, not the client, says who recorded a row and when.
CREATE FUNCTION quillmark.stamp_batch() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  NEW.recorded_by := session_user;
  NEW.recorded_at := now();
  RETURN NEW;
END;
$$;

CREATE TABLE quillmark.batches (
  id              bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  first_mac       bigint  NOT NULL CHECK (first_mac >= 0),
  device_count    integer NOT NULL CHECK (device_count BETWEEN 1 AND 65535),
  macs_per_device integer NOT NULL CHECK (macs_per_device BETWEEN 1 AND 4),
  macs            int8range NOT NULL GENERATED ALWAYS AS
                    (int8range(first_mac, first_mac + device_count::bigint * macs_per_device)) STORED,
  station         text NOT NULL CHECK (station <> ''),
  recorded_by     text NOT NULL,
  recorded_at     timestamptz NOT NULL,
  CONSTRAINT batches_inside_48_bits CHECK (upper(macs) <= 281474976710656),
  -- The rule itself: whoever inserts, two batches never share an address.
  CONSTRAINT batches_never_overlap EXCLUDE USING gist (macs WITH &&)
);
-- The next free range walks the batches in address order.
CREATE UNIQUE INDEX batches_by_first_mac ON quillmark.batches (first_mac);

CREATE TRIGGER batches_stamp BEFORE INSERT ON quillmark.batches
  FOR EACH ROW EXECUTE FUNCTION quillmark.stamp_batch();
CREATE TRIGGER batches_keep BEFORE UPDATE OR DELETE ON quillmark.batches
  FOR EACH ROW EXECUTE FUNCTION quillmark.refuse_change();
CREATE TRIGGER batches_keep_all BEFORE TRUNCATE ON quillmark.batches
  FOR EACH STATEMENT EXECUTE FUNCTION quillmark.refuse_change();

-- One row per time a batch's images were written: the first write when
-- the batch was recorded, another for each re-run of the same devices.
CREATE TABLE quillmark.batch_writes (
  id              bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
  batch_id        bigint NOT NULL REFERENCES quillmark.batches,
  station         text NOT NULL CHECK (station <> ''),
  image_sha256    text NOT NULL CHECK (image_sha256 ~ '^[0-9a-f]{64}$'),
  output_folder   text NOT NULL,
  written_by      text NOT NULL,
  started_at      timestamptz NOT NULL,
  -- The outcome, recorded once when the run ends; empty after a crash.
  ended_at        timestamptz,
  devices_written integer CHECK (devices_written >= 0),
  devices_failed  integer CHECK (devices_failed >= 0),
  ending          text CHECK (ending IN ('finished', 'stopped', 'failed')),
  CONSTRAINT batch_writes_whole_outcome CHECK (
    (ending IS NULL) = (ended_at IS NULL) AND (ending IS NULL) = (devices_written IS NULL)
    AND (ending IS NULL) = (devices_failed IS NULL))
);
CREATE INDEX batch_writes_by_batch ON quillmark.batch_writes (batch_id);

CREATE FUNCTION quillmark.stamp_write() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  NEW.written_by := session_user;
  NEW.started_at := now();
  NEW.ended_at := NULL;
  NEW.devices_written := NULL;
  NEW.devices_failed := NULL;
  NEW.ending := NULL;
  RETURN NEW;
END;
$$;

-- A write's outcome is set once, with the database's clock; nothing else
-- of the row ever changes.
CREATE FUNCTION quillmark.record_outcome() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  IF OLD.ending IS NOT NULL OR NEW.ending IS NULL
     OR (NEW.id, NEW.batch_id, NEW.station, NEW.image_sha256, NEW.output_folder,
         NEW.written_by, NEW.started_at)
        IS DISTINCT FROM
        (OLD.id, OLD.batch_id, OLD.station, OLD.image_sha256, OLD.output_folder,
         OLD.written_by, OLD.started_at) THEN
    RAISE EXCEPTION 'a write''s outcome is recorded once and nothing else changes'
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  NEW.ended_at := now();
  RETURN NEW;
END;
$$;

CREATE TRIGGER batch_writes_stamp BEFORE INSERT ON quillmark.batch_writes
  FOR EACH ROW EXECUTE FUNCTION quillmark.stamp_write();
CREATE TRIGGER batch_writes_outcome BEFORE UPDATE ON quillmark.batch_writes
  FOR EACH ROW EXECUTE FUNCTION quillmark.record_outcome();
CREATE TRIGGER batch_writes_keep BEFORE DELETE ON quillmark.batch_writes
  FOR EACH ROW EXECUTE FUNCTION quillmark.refuse_change();
CREATE TRIGGER batch_writes_keep_all BEFORE TRUNCATE ON quillmark.batch_writes
  FOR EACH STATEMENT EXECUTE FUNCTION quillmark.refuse_change();
