-- Demo store data for the desk's own database (scripts/run): the store id,
-- the business date, the store codes and a few open bills of store S01.
INSERT INTO xxPARAM (ParamID, ParamValue, FileDate) VALUES ('StoreID', 'S01', datetime('now','localtime'));
INSERT INTO xxPARAM (ParamID, ParamValue, FileDate) VALUES ('OPDATE', strftime('%Y/%m/%d', 'now', 'localtime'), datetime('now','localtime'));
INSERT INTO xxCODE (CodeType, Code, Dscp, FileDate) VALUES ('TOLVA', 'S01', '台北南京店', datetime('now','localtime'));
INSERT INTO xxCODE (CodeType, Code, Dscp, FileDate) VALUES ('TOLVA', 'S02', '台中公益店', datetime('now','localtime'));
INSERT INTO OCHECK (CheckNo, StoreID, BillTime, CheckAmt, Service, OrderAmt, Tax, Discount, FileDate) VALUES ('A0011', 'S01', '11:42', 1650, 150, 1500, 0, 0, datetime('now','localtime'));
INSERT INTO OCHECK (CheckNo, StoreID, BillTime, CheckAmt, Service, OrderAmt, Tax, Discount, FileDate) VALUES ('A0012', 'S01', '12:05', 880, 80, 800, 0, 0, datetime('now','localtime'));
INSERT INTO OCHECK (CheckNo, StoreID, BillTime, CheckAmt, Service, OrderAmt, Tax, Discount, FileDate) VALUES ('A0013', 'S01', '12:31', 2420, 220, 2200, 0, 0, datetime('now','localtime'));
INSERT INTO OCHECK (CheckNo, StoreID, BillTime, CheckAmt, Service, OrderAmt, Tax, Discount, FileDate) VALUES ('A0014', 'S01', '18:20', 5500, 500, 5000, 0, 0, datetime('now','localtime'));
-- Card transactions of today over four stores, enough for a two-page summary
-- report ("TM88列印" on the report page).
INSERT INTO xxCODE (CodeType, Code, Dscp, FileDate) VALUES ('TOLVA', 'S03', '高雄中正店', datetime('now','localtime'));
INSERT INTO xxCODE (CodeType, Code, Dscp, FileDate) VALUES ('TOLVA', 'S04', '新竹光復店', datetime('now','localtime'));
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 90)
INSERT INTO VCardLog (TxnDept, TxnType, CardNo, TxnDate, TxnAmt, RefCheckNo, POSID, UserID, FileDate)
SELECT 'S0' || (i % 4 + 1),
       CASE WHEN i % 3 = 0 THEN '2' ELSE '1' END,
       'M000' || (i % 5 + 1),
       strftime('%Y-%m-%d 00:00:00', 'now', 'localtime'),
       CASE WHEN i % 3 = 0 THEN 50 * (i % 7 + 1) ELSE 500 * (i % 4 + 1) END,
       'A' || substr('0000' || (100 + i), -4),
       'WS01', 'cashier1', datetime('now','localtime')
FROM n;
