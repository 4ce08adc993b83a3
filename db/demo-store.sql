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
-- Two open tables of the point-of-sale system with their order batches for
-- the receipts of tolva-print: table T01 (bill A0011) ordered twice, table T02
-- (bill A0012) once; "PK" items go to the kitchen, "PB" items to the bar.
INSERT INTO ORDERH (OrderPID, AreaNo, CheckNo, CustTotal, OrderDate, TblName, TblNo, TblSeq, UserID, FileDate) VALUES ('T01', 'A', 'A0011', 4, strftime('%Y/%m/%d', 'now', 'localtime'), '一號桌', '01', 1, 'waiter01', datetime('now','localtime'));
INSERT INTO ORDERH (OrderPID, AreaNo, CheckNo, CustTotal, OrderDate, TblName, TblNo, TblSeq, UserID, FileDate) VALUES ('T02', 'A', 'A0012', 2, strftime('%Y/%m/%d', 'now', 'localtime'), '二號桌', '02', 1, 'waiter02', datetime('now','localtime'));
INSERT INTO ORDERI (OrderPID, OrderTime, ListNo, CheckNo, ItemName, ItemType, PriceCap, Remark, Qty, Amt, KPort, FileDate) VALUES
 ('T01', '11:05:10', 1, 'A0011', '牛肉麵', 'N1', '大', '', 2, 560, 'PK', datetime('now','localtime')),
 ('T01', '11:05:10', 2, 'A0011', '加麵', 'S2', '', '', 1, 30, 'PK', datetime('now','localtime')),
 ('T01', '11:05:10', 3, 'A0011', '辣油', 'A1', '', '小辣', 1, 0, 'PK', datetime('now','localtime')),
 ('T01', '11:05:10', 4, 'A0011', '珍珠奶茶', 'N1', '中', '少冰', 2, 120, 'PB', datetime('now','localtime')),
 ('T01', '11:20:45', 5, 'A0011', '滷味拼盤', 'N1', '', '', 1, 250, 'PK', datetime('now','localtime')),
 ('T01', '11:20:45', 6, 'A0011', '啤酒', 'N1', '', '', 4, 540, 'PB', datetime('now','localtime')),
 ('T02', '11:40:00', 1, 'A0012', '排骨飯', 'N1', '', '', 2, 440, 'PK', datetime('now','localtime')),
 ('T02', '11:40:00', 2, 'A0012', '味噌湯', 'T1', '', '', 2, 0, 'PK', datetime('now','localtime')),
 ('T02', '11:40:00', 3, 'A0012', '紅茶', 'N1', '大', '去冰', 2, 360, 'PB', datetime('now','localtime'));
