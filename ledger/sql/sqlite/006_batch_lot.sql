-- Quillmark MAC ledger, schema version 6: the production lot a batch was
-- written for, as the station gave it (none where it gave none).

ALTER TABLE batches ADD COLUMN lot TEXT CHECK (lot <> '');
