-- Quillmark MAC ledger, schema version 2: address pools and voided batches.
-- Where pools exist, every new batch lies inside one of them, so a batch
-- can no longer carry out of its addresses into a neighbour's. A voided
-- batch stays in the ledger and keeps blocking its range.

CREATE FUNCTION quillmark.stamp_pool() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  NEW.created_by := session_user;
  NEW.created_at := now();
  RETURN NEW;
END;
$$;

CREATE TABLE quillmark.pools (
  name       text PRIMARY KEY CHECK (name <> ''),
  macs       int8range NOT NULL CHECK (NOT isempty(macs) AND upper(macs) <= 281474976710656),
  created_by text NOT NULL,
  created_at timestamptz NOT NULL,
  CONSTRAINT pools_never_overlap EXCLUDE USING gist (macs WITH &&)
);
CREATE TRIGGER pools_stamp BEFORE INSERT ON quillmark.pools
  FOR EACH ROW EXECUTE FUNCTION quillmark.stamp_pool();
CREATE TRIGGER pools_keep BEFORE UPDATE OR DELETE ON quillmark.pools
  FOR EACH ROW EXECUTE FUNCTION quillmark.refuse_change();
CREATE TRIGGER pools_keep_all BEFORE TRUNCATE ON quillmark.pools
  FOR EACH STATEMENT EXECUTE FUNCTION quillmark.refuse_change();

ALTER TABLE quillmark.batches ADD COLUMN pool text REFERENCES quillmark.pools;

-- A new batch lies inside its pool, or inside some pool when it names
-- none and pools exist. (The generated range is not yet computed in a
-- BEFORE trigger, hence the range built here.)
CREATE FUNCTION quillmark.check_batch_pool() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
  range int8range := int8range(NEW.first_mac,
                               NEW.first_mac + NEW.device_count::bigint * NEW.macs_per_device);
BEGIN
  IF EXISTS (SELECT FROM quillmark.pools)
     AND NOT EXISTS (SELECT FROM quillmark.pools
                     WHERE macs @> range AND (NEW.pool IS NULL OR name = NEW.pool)) THEN
    RAISE EXCEPTION 'batch range % lies inside no pool%', range,
      coalesce(' named ' || NEW.pool, '')
      USING ERRCODE = 'check_violation';
  END IF;
  RETURN NEW;
END;
$$;
CREATE TRIGGER batches_inside_pool BEFORE INSERT ON quillmark.batches
  FOR EACH ROW EXECUTE FUNCTION quillmark.check_batch_pool();

CREATE FUNCTION quillmark.stamp_void() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  NEW.voided_by := session_user;
  NEW.voided_at := now();
  RETURN NEW;
END;
$$;

CREATE TABLE quillmark.voids (
  batch_id  bigint PRIMARY KEY REFERENCES quillmark.batches,
  reason    text NOT NULL CHECK (btrim(reason) <> ''),
  voided_by text NOT NULL,
  voided_at timestamptz NOT NULL
);
CREATE TRIGGER voids_stamp BEFORE INSERT ON quillmark.voids
  FOR EACH ROW EXECUTE FUNCTION quillmark.stamp_void();
CREATE TRIGGER voids_keep BEFORE UPDATE OR DELETE ON quillmark.voids
  FOR EACH ROW EXECUTE FUNCTION quillmark.refuse_change();
CREATE TRIGGER voids_keep_all BEFORE TRUNCATE ON quillmark.voids
  FOR EACH STATEMENT EXECUTE FUNCTION quillmark.refuse_change();
