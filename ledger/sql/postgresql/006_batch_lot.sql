-- Quillmark MAC ledger, schema version 6: the production lot a batch was
-- written for, as the station gave it (none where it gave none).

ALTER TABLE quillmark.batches ADD COLUMN lot text CHECK (lot <> '');
