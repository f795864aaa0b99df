select #1/5/26 12:00 AM#, [a.b], "q""x", 'it''s' from t -- c
/* d */;