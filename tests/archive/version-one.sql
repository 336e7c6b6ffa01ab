CREATE TABLE downloads (id INTEGER PRIMARY KEY, started_utc TEXT NOT NULL, ended_utc TEXT, port TEXT NOT NULL, device TEXT NOT NULL DEFAULT '', reported INTEGER, complete INTEGER NOT NULL DEFAULT 0, rows_read INTEGER NOT NULL DEFAULT 0);
CREATE TABLE records (download_id BIGINT NOT NULL REFERENCES downloads(id) ON DELETE CASCADE, no INTEGER NOT NULL, ground_kv REAL, line_kv REAL, current_a REAL, ground_text TEXT NOT NULL, line_text TEXT NOT NULL, current_text TEXT NOT NULL, PRIMARY KEY (download_id, no));
CREATE TABLE sessions (id INTEGER PRIMARY KEY, started_utc TEXT NOT NULL, ended_utc TEXT, port TEXT NOT NULL, device TEXT NOT NULL DEFAULT '');
CREATE TABLE samples (session_id BIGINT NOT NULL REFERENCES sessions(id) ON DELETE CASCADE, seq INTEGER NOT NULL, at_utc TEXT NOT NULL, ground_kv REAL, line_kv REAL, current_a REAL, over_range INTEGER NOT NULL DEFAULT 0, ground_text TEXT NOT NULL, line_text TEXT NOT NULL, current_text TEXT NOT NULL, PRIMARY KEY (session_id, seq));
INSERT INTO downloads VALUES (7, '2026-03-01T01:02:03.004Z', '2026-03-01T01:02:09.000Z', 'COM2', '/dev/ttyUSB1', 12, 1, 1);
INSERT INTO records VALUES (7, 1, 32.7, 110, 25, '33kV', '110kV', '25.0A');
INSERT INTO sessions VALUES (3, '2026-03-01T00:00:00.000Z', NULL, 'COM2', '');
INSERT INTO samples VALUES (3, 1, '2026-03-01T00:00:01.500Z', 9.9, 35, 1.23, 0, '9.9kV', '35kV', '1.23A');
PRAGMA user_version=1;
