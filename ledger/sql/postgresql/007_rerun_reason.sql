-- Quillmark MAC ledger, schema version 7: a write that wrote its batch
-- again on purpose (--rerun) keeps why, beside who (written_by, the
-- login). Every other write, and every write recorded before, has none.
-- A station names the reason when it inserts its write (grants.sql) and
-- can never change it after.

ALTER TABLE quillmark.batch_writes ADD COLUMN rerun_reason text
  CONSTRAINT batch_writes_rerun_reason CHECK (
    rerun_reason IS NULL OR (btrim(rerun_reason) <> '' AND char_length(rerun_reason) <= 200));

-- The reason is the write's from its start: the outcome, recorded once,
-- is still all that ever changes, whoever updates the row.
CREATE OR REPLACE FUNCTION quillmark.record_outcome() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
  IF OLD.ending IS NOT NULL OR NEW.ending IS NULL
     OR (NEW.id, NEW.batch_id, NEW.station, NEW.image_sha256, NEW.output_folder,
         NEW.written_by, NEW.started_at, NEW.rerun_reason)
        IS DISTINCT FROM
        (OLD.id, OLD.batch_id, OLD.station, OLD.image_sha256, OLD.output_folder,
         OLD.written_by, OLD.started_at, OLD.rerun_reason) THEN
    RAISE EXCEPTION 'a write''s outcome is recorded once and nothing else changes'
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  NEW.ended_at := now();
  RETURN NEW;
END;
$$;
