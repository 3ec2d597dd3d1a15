-- Quillmark MAC ledger, schema version 7: a write that wrote its batch
-- again on purpose (--rerun) keeps why, beside who (written_by). Every
-- other write, and every write recorded before, has none.

ALTER TABLE batch_writes ADD COLUMN rerun_reason TEXT
  CHECK (rerun_reason IS NULL OR (trim(rerun_reason) <> '' AND length(rerun_reason) <= 200));

-- The reason is the write's from its start: the outcome, recorded once,
-- is still all that ever changes.
DROP TRIGGER batch_writes_outcome;
CREATE TRIGGER batch_writes_outcome BEFORE UPDATE ON batch_writes
WHEN OLD.ending IS NOT NULL OR NEW.ending IS NULL
     OR NEW.id IS NOT OLD.id OR NEW.batch_id IS NOT OLD.batch_id
     OR NEW.station IS NOT OLD.station OR NEW.image_sha256 IS NOT OLD.image_sha256
     OR NEW.output_folder IS NOT OLD.output_folder OR NEW.written_by IS NOT OLD.written_by
     OR NEW.started_at IS NOT OLD.started_at OR NEW.rerun_reason IS NOT OLD.rerun_reason
BEGIN
  SELECT RAISE(ABORT, 'quillmark: a write''s outcome is recorded once and nothing else changes');
END;
