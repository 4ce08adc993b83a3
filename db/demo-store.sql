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
