-- The workstation's local configuration database: server logins, the account sets used here,
-- and the template rows every new account set starts with. The build turns this into
-- bin/data/CHWHDB.mdb. Text columns ignore letter case in comparisons, as the workstation's
-- database always did, so a server name finds its row whatever its capitals.
PRAGMA encoding = 'UTF-8';
-- The template's version. A file made from an older one is given only the tables it lacks,
-- and only when this is greater than the version the file records; raise it with every
-- change here, or existing files are left as they are.
PRAGMA user_version = 1;
BEGIN TRANSACTION;

-- How to log in to each server reached so far: `1` the integrated-security fragment or `2`
-- the SQL-login fragment, never both. Unbounded texts: a fragment holds a whole login.
CREATE TABLE "系统路径表" ("zjmc" TEXT COLLATE NOCASE, "1" TEXT COLLATE NOCASE DEFAULT '', "2" TEXT COLLATE NOCASE DEFAULT '');

-- The account sets this workstation uses.
CREATE TABLE "帐套信息表" ("ztmc" TEXT COLLATE NOCASE, "jlrq" DATETIME, "kl" TEXT COLLATE NOCASE, "zjmc" TEXT COLLATE NOCASE, "net" TEXT COLLATE NOCASE);

-- Column widths of the document grids, one row per layout.
CREATE TABLE "col_num" ("model" TEXT COLLATE NOCASE, "ytmc" TEXT COLLATE NOCASE, "1" INTEGER, "2" INTEGER, "3" INTEGER, "4" INTEGER, "5" INTEGER, "6" INTEGER, "7" INTEGER, "8" INTEGER, "9" INTEGER, "10" INTEGER, "11" INTEGER, "12" INTEGER, "13" INTEGER, "14" INTEGER, "15" INTEGER, "16" INTEGER, "17" INTEGER, "18" INTEGER, "19" INTEGER, "20" INTEGER);
INSERT INTO "col_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhd', '进货单', 80, 160, 80, 50, 70, 80, 90, 120, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "col_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhth', '进货退货单', 80, 160, 80, 50, 70, 80, 90, 120, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "col_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsd', '销售单', 80, 160, 80, 50, 70, 80, 90, 120, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "col_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsth', '销售退货单', 80, 160, 80, 50, 70, 80, 90, 120, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "col_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('dbd', '库存调拨单', 80, 160, 80, 50, 70, 80, 90, 120, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "col_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('pdd', '库存盘点单', 80, 160, 80, 50, 70, 80, 90, 120, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);

-- Row heights of the document grids, one row per layout.
CREATE TABLE "row_num" ("model" TEXT COLLATE NOCASE, "ytmc" TEXT COLLATE NOCASE, "1" INTEGER, "2" INTEGER, "3" INTEGER, "4" INTEGER, "5" INTEGER, "6" INTEGER, "7" INTEGER, "8" INTEGER, "9" INTEGER, "10" INTEGER, "11" INTEGER, "12" INTEGER, "13" INTEGER, "14" INTEGER, "15" INTEGER, "16" INTEGER, "17" INTEGER, "18" INTEGER, "19" INTEGER, "20" INTEGER);
INSERT INTO "row_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhd', '进货单', 22, 22, 22, 22, 22, 22, 22, 22, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "row_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhth', '进货退货单', 22, 22, 22, 22, 22, 22, 22, 22, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "row_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsd', '销售单', 22, 22, 22, 22, 22, 22, 22, 22, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "row_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsth', '销售退货单', 22, 22, 22, 22, 22, 22, 22, 22, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "row_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('dbd', '库存调拨单', 22, 22, 22, 22, 22, 22, 22, 22, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO "row_num" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('pdd', '库存盘点单', 22, 22, 22, 22, 22, 22, 22, 22, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);

-- Grid shape of each layout (columns, rows) and the captions of its columns.
CREATE TABLE "colrow_num" ("model" TEXT COLLATE NOCASE, "ytmc" TEXT COLLATE NOCASE, "col" INTEGER, "row" INTEGER, "4" TEXT COLLATE NOCASE, "5" TEXT COLLATE NOCASE, "6" TEXT COLLATE NOCASE, "7" TEXT COLLATE NOCASE, "8" TEXT COLLATE NOCASE, "9" TEXT COLLATE NOCASE, "10" TEXT COLLATE NOCASE, "11" TEXT COLLATE NOCASE, "12" TEXT COLLATE NOCASE, "13" TEXT COLLATE NOCASE, "14" TEXT COLLATE NOCASE, "15" TEXT COLLATE NOCASE, "16" TEXT COLLATE NOCASE, "17" TEXT COLLATE NOCASE, "18" TEXT COLLATE NOCASE, "19" TEXT COLLATE NOCASE, "20" TEXT COLLATE NOCASE);
INSERT INTO "colrow_num" ("model", "ytmc", "col", "row", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhd', '进货单', 8, 12, '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '');
INSERT INTO "colrow_num" ("model", "ytmc", "col", "row", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhth', '进货退货单', 8, 12, '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '');
INSERT INTO "colrow_num" ("model", "ytmc", "col", "row", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsd', '销售单', 8, 12, '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '');
INSERT INTO "colrow_num" ("model", "ytmc", "col", "row", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsth', '销售退货单', 8, 12, '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '');
INSERT INTO "colrow_num" ("model", "ytmc", "col", "row", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('dbd', '库存调拨单', 8, 12, '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '');
INSERT INTO "colrow_num" ("model", "ytmc", "col", "row", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('pdd', '库存盘点单', 8, 12, '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '');

-- Captions of the goods fields.
CREATE TABLE "hpszxxb" ("bm" TEXT COLLATE NOCASE, "hh" TEXT COLLATE NOCASE, "jm" TEXT COLLATE NOCASE, "txm" TEXT COLLATE NOCASE, "qm" TEXT COLLATE NOCASE, "xh" TEXT COLLATE NOCASE, "gg" TEXT COLLATE NOCASE, "dw" TEXT COLLATE NOCASE, "dj" TEXT COLLATE NOCASE, "rbdj" TEXT COLLATE NOCASE, "cshw" TEXT COLLATE NOCASE, "sslb" TEXT COLLATE NOCASE, "jjsx" TEXT COLLATE NOCASE, "jjxx" TEXT COLLATE NOCASE, "pz1" TEXT COLLATE NOCASE, "pz2" TEXT COLLATE NOCASE, "pz3" TEXT COLLATE NOCASE, "pz4" TEXT COLLATE NOCASE, "jk" TEXT COLLATE NOCASE, "bz" TEXT COLLATE NOCASE, "sj1" TEXT COLLATE NOCASE, "sj2" TEXT COLLATE NOCASE, "sj3" TEXT COLLATE NOCASE);
INSERT INTO "hpszxxb" ("bm", "hh", "jm", "txm", "qm", "xh", "gg", "dw", "dj", "rbdj", "cshw", "sslb", "jjsx", "jjxx", "pz1", "pz2", "pz3", "pz4", "jk", "bz", "sj1", "sj2", "sj3") VALUES ('货品编码', '货号', '简码', '条形码', '货品全名', '型号', '规格', '单位', '单价', '批发价', '产地', '所属类别', '库存上限', '库存下限', '配置1', '配置2', '配置3', '配置4', '进口', '备注', '售价1', '售价2', '售价3');

-- Which fields each list prints, and their widths.
CREATE TABLE "line_yesno" ("mc" TEXT COLLATE NOCASE NOT NULL, "zd" TEXT COLLATE NOCASE, "yesno" BIT NOT NULL DEFAULT 0, "lk" INTEGER);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'bm', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'mc', 1, 160);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'gg', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'dw', 1, 50);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'sl', 1, 70);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'dj', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'je', 1, 90);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'bz', 0, 120);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'bm', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'mc', 1, 160);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'gg', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'dw', 1, 50);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'sl', 1, 70);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'dj', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'je', 1, 90);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'bz', 0, 120);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'bm', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'mc', 1, 160);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'gg', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'dw', 1, 50);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'sl', 1, 70);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'dj', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'je', 1, 90);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'bz', 0, 120);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'bm', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'mc', 1, 160);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'gg', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'dw', 1, 50);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'sl', 1, 70);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'dj', 1, 80);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'je', 1, 90);
INSERT INTO "line_yesno" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'bz', 0, 120);

-- Which fields each list shows, and their widths.
CREATE TABLE "show_line" ("mc" TEXT COLLATE NOCASE NOT NULL, "zd" TEXT COLLATE NOCASE, "yesno" BIT NOT NULL DEFAULT 0, "lk" INTEGER);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'bm', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'mc', 1, 160);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'gg', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'dw', 1, 50);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'sl', 1, 70);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'dj', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'je', 1, 90);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货单', 'bz', 1, 120);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'bm', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'mc', 1, 160);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'gg', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'dw', 1, 50);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'sl', 1, 70);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'dj', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'je', 1, 90);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('进货退货单', 'bz', 1, 120);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'bm', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'mc', 1, 160);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'gg', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'dw', 1, 50);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'sl', 1, 70);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'dj', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'je', 1, 90);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售单', 'bz', 1, 120);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'bm', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'mc', 1, 160);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'gg', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'dw', 1, 50);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'sl', 1, 70);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'dj', 1, 80);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'je', 1, 90);
INSERT INTO "show_line" ("mc", "zd", "yesno", "lk") VALUES ('销售退货单', 'bz', 1, 120);

-- Printed column captions of each layout.
CREATE TABLE "print_colrow" ("model" TEXT COLLATE NOCASE, "ytmc" TEXT COLLATE NOCASE, "1" TEXT COLLATE NOCASE, "2" TEXT COLLATE NOCASE, "3" TEXT COLLATE NOCASE, "4" TEXT COLLATE NOCASE, "5" TEXT COLLATE NOCASE, "6" TEXT COLLATE NOCASE, "7" TEXT COLLATE NOCASE, "8" TEXT COLLATE NOCASE, "9" TEXT COLLATE NOCASE, "10" TEXT COLLATE NOCASE, "11" TEXT COLLATE NOCASE, "12" TEXT COLLATE NOCASE, "13" TEXT COLLATE NOCASE, "14" TEXT COLLATE NOCASE, "15" TEXT COLLATE NOCASE, "16" TEXT COLLATE NOCASE, "17" TEXT COLLATE NOCASE, "18" TEXT COLLATE NOCASE, "19" TEXT COLLATE NOCASE, "20" TEXT COLLATE NOCASE);
INSERT INTO "print_colrow" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhd', '进货单', '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '', '', '', '');
INSERT INTO "print_colrow" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('jhth', '进货退货单', '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '', '', '', '');
INSERT INTO "print_colrow" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsd', '销售单', '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '', '', '', '');
INSERT INTO "print_colrow" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('xsth', '销售退货单', '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '', '', '', '');
INSERT INTO "print_colrow" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('dbd', '库存调拨单', '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '', '', '', '');
INSERT INTO "print_colrow" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20") VALUES ('pdd', '库存盘点单', '货品编码', '货品名称', '规格', '单位', '数量', '单价', '金额', '备注', '', '', '', '', '', '', '', '', '', '', '', '');

-- The print layouts on offer.
CREATE TABLE "print_model" ("ytmc" TEXT COLLATE NOCASE, "mc" TEXT COLLATE NOCASE, "model" TEXT COLLATE NOCASE, "bz" TEXT COLLATE NOCASE);
INSERT INTO "print_model" ("ytmc", "mc", "model", "bz") VALUES ('进货单', '进货单标准格式', 'jhd', '默认格式');
INSERT INTO "print_model" ("ytmc", "mc", "model", "bz") VALUES ('进货退货单', '进货退货单标准格式', 'jhth', '默认格式');
INSERT INTO "print_model" ("ytmc", "mc", "model", "bz") VALUES ('销售单', '销售单标准格式', 'xsd', '默认格式');
INSERT INTO "print_model" ("ytmc", "mc", "model", "bz") VALUES ('销售退货单', '销售退货单标准格式', 'xsth', '默认格式');
INSERT INTO "print_model" ("ytmc", "mc", "model", "bz") VALUES ('库存调拨单', '库存调拨单标准格式', 'dbd', '默认格式');
INSERT INTO "print_model" ("ytmc", "mc", "model", "bz") VALUES ('库存盘点单', '库存盘点单标准格式', 'pdd', '默认格式');

-- The account set's own settings: one row of ordinary defaults.
CREATE TABLE "系统信息表" ("yhmc" TEXT COLLATE NOCASE, "sjlj" TEXT COLLATE NOCASE, "ksmc" TEXT COLLATE NOCASE, "tel" TEXT COLLATE NOCASE, "fax" TEXT COLLATE NOCASE, "dz" TEXT COLLATE NOCASE, "yb" TEXT COLLATE NOCASE, "bz" TEXT COLLATE NOCASE, "xsdcd" TEXT COLLATE NOCASE, "sffs" TEXT COLLATE NOCASE, "shf" TEXT COLLATE NOCASE, "hpcx" TEXT COLLATE NOCASE, "sfgz" TEXT COLLATE NOCASE, "gzqx" TEXT COLLATE NOCASE, "sfqy" TEXT COLLATE NOCASE, "qyrq" DATETIME, "yjcrq" DATETIME, "njc" TEXT COLLATE NOCASE, "njcqc" TEXT COLLATE NOCASE, "picpath" TEXT COLLATE NOCASE, "jj" TEXT COLLATE NOCASE, "sj" TEXT COLLATE NOCASE, "zjjj" TEXT COLLATE NOCASE, "zjsj" TEXT COLLATE NOCASE, "sj1" TEXT COLLATE NOCASE, "sj2" TEXT COLLATE NOCASE, "sj3" TEXT COLLATE NOCASE, "cbjj" TEXT COLLATE NOCASE, "cqysdate" INTEGER, "cqyfdate" INTEGER, "txsz" TEXT COLLATE NOCASE, "skdate" INTEGER, "bdz" TEXT COLLATE NOCASE, "ys" TEXT COLLATE NOCASE, "jzb" INTEGER, "jsb" INTEGER, "ztds" INTEGER, "zcxbd" TEXT COLLATE NOCASE, "fkc" TEXT COLLATE NOCASE, "bghs" INTEGER, "mrzk" REAL, "mrsl" REAL, "xsdy" TEXT COLLATE NOCASE, "pz1" TEXT COLLATE NOCASE, "pz2" TEXT COLLATE NOCASE, "pz3" TEXT COLLATE NOCASE, "pz4" TEXT COLLATE NOCASE, "pz5" TEXT COLLATE NOCASE, "pz6" TEXT COLLATE NOCASE);
INSERT INTO "系统信息表" ("yhmc", "sjlj", "ksmc", "tel", "fax", "dz", "yb", "bz", "xsdcd", "sffs", "shf", "hpcx", "sfgz", "gzqx", "sfqy", "qyrq", "yjcrq", "njc", "njcqc", "picpath", "jj", "sj", "zjjj", "zjsj", "sj1", "sj2", "sj3", "cbjj", "cqysdate", "cqyfdate", "txsz", "skdate", "bdz", "ys", "jzb", "jsb", "ztds", "zcxbd", "fkc", "bghs", "mrzk", "mrsl", "xsdy", "pz1", "pz2", "pz3", "pz4", "pz5", "pz6") VALUES ('本单位', '', '', '', '', '', '', '', '销售单', '现金', '否', '编码', '否', '', '否', NULL, NULL, '否', '否', '', '进价', '售价', '最近进价', '最近售价', '售价1', '售价2', '售价3', '加权平均', 30, 30, '到期提醒', 30, '', '', 2, NULL, 1, '', '否', 2, 100.0, 1.0, '', '配置1', '配置2', '配置3', '配置4', '配置5', '配置6');

-- Print settings of each document kind: titles, fonts, margins, what the header and footer carry.
CREATE TABLE "打印设置表" ("ytmc" TEXT COLLATE NOCASE, "ytzt" TEXT COLLATE NOCASE, "ytztdx" TEXT COLLATE NOCASE, "ytjc" TEXT COLLATE NOCASE, "ytshx" TEXT COLLATE NOCASE, "ytxt" TEXT COLLATE NOCASE, "ywmc" TEXT COLLATE NOCASE, "ywwz" TEXT COLLATE NOCASE, "ywzt" TEXT COLLATE NOCASE, "ywztdx" TEXT COLLATE NOCASE, "ywjc" TEXT COLLATE NOCASE, "ywshx" TEXT COLLATE NOCASE, "ywxt" TEXT COLLATE NOCASE, "jsb" TEXT COLLATE NOCASE, "jzb" TEXT COLLATE NOCASE, "jyb" TEXT COLLATE NOCASE, "jxb" TEXT COLLATE NOCASE, "btybj" TEXT COLLATE NOCASE, "zbybj" TEXT COLLATE NOCASE, "btzt" TEXT COLLATE NOCASE, "btwz" TEXT COLLATE NOCASE, "btztdx" TEXT COLLATE NOCASE, "brzt" TEXT COLLATE NOCASE, "brwz" TEXT COLLATE NOCASE, "brztdx" TEXT COLLATE NOCASE, "dygs" TEXT COLLATE NOCASE, "gswz" TEXT COLLATE NOCASE, "dyyh" TEXT COLLATE NOCASE, "yhwz" TEXT COLLATE NOCASE, "dyym" TEXT COLLATE NOCASE, "ymwz" TEXT COLLATE NOCASE, "dyrq" TEXT COLLATE NOCASE, "rqwz" TEXT COLLATE NOCASE, "btjc" TEXT COLLATE NOCASE, "myhs" TEXT COLLATE NOCASE, "bkys" TEXT COLLATE NOCASE, "yjbz2" TEXT COLLATE NOCASE, "yjbz2wz" TEXT COLLATE NOCASE, "yjbz3" TEXT COLLATE NOCASE, "yjbz3wz" TEXT COLLATE NOCASE, "checkdjbh" TEXT COLLATE NOCASE, "checkdwmc" TEXT COLLATE NOCASE, "checkckmc" TEXT COLLATE NOCASE, "checkjsr" TEXT COLLATE NOCASE, "djbhwz" TEXT COLLATE NOCASE, "dwmcwz" TEXT COLLATE NOCASE, "ckmcwz" TEXT COLLATE NOCASE, "zhsjzt" TEXT COLLATE NOCASE, "zhsjztdx" TEXT COLLATE NOCASE, "jsrwz" TEXT COLLATE NOCASE, "djbhbt" TEXT COLLATE NOCASE, "dwmcbt" TEXT COLLATE NOCASE, "ckmcbt" TEXT COLLATE NOCASE, "jsrbt" TEXT COLLATE NOCASE, "ywbz" TEXT COLLATE NOCASE, "ytmc1" TEXT COLLATE NOCASE, "bt_zt" TEXT COLLATE NOCASE, "bt_ztdx" TEXT COLLATE NOCASE, "bt_ztwz" TEXT COLLATE NOCASE, "ywbzwz" TEXT COLLATE NOCASE);
INSERT INTO "打印设置表" ("ytmc", "ytzt", "ytztdx", "ytjc", "ytshx", "ytxt", "ywmc", "ywwz", "ywzt", "ywztdx", "ywjc", "ywshx", "ywxt", "jsb", "jzb", "jyb", "jxb", "btybj", "zbybj", "btzt", "btwz", "btztdx", "brzt", "brwz", "brztdx", "dygs", "gswz", "dyyh", "yhwz", "dyym", "ymwz", "dyrq", "rqwz", "btjc", "myhs", "bkys", "yjbz2", "yjbz2wz", "yjbz3", "yjbz3wz", "checkdjbh", "checkdwmc", "checkckmc", "checkjsr", "djbhwz", "dwmcwz", "ckmcwz", "zhsjzt", "zhsjztdx", "jsrwz", "djbhbt", "dwmcbt", "ckmcbt", "jsrbt", "ywbz", "ytmc1", "bt_zt", "bt_ztdx", "bt_ztwz", "ywbzwz") VALUES ('进货单', '宋体', '18', '是', '否', '否', '', '居中', '宋体', '10', '否', '否', '否', '20', '20', '20', '20', '是', '否', '宋体', '居中', '10', '宋体', '左', '9', '是', '左', '是', '右', '是', '居中', '是', '右', '否', '20', '黑色', '', '左', '', '左', '是', '是', '是', '是', '左', '左', '左', '宋体', '9', '右', '单据编号', '单位名称', '仓库名称', '经手人', '', '进货单', '宋体', '9', '居中', '左');
INSERT INTO "打印设置表" ("ytmc", "ytzt", "ytztdx", "ytjc", "ytshx", "ytxt", "ywmc", "ywwz", "ywzt", "ywztdx", "ywjc", "ywshx", "ywxt", "jsb", "jzb", "jyb", "jxb", "btybj", "zbybj", "btzt", "btwz", "btztdx", "brzt", "brwz", "brztdx", "dygs", "gswz", "dyyh", "yhwz", "dyym", "ymwz", "dyrq", "rqwz", "btjc", "myhs", "bkys", "yjbz2", "yjbz2wz", "yjbz3", "yjbz3wz", "checkdjbh", "checkdwmc", "checkckmc", "checkjsr", "djbhwz", "dwmcwz", "ckmcwz", "zhsjzt", "zhsjztdx", "jsrwz", "djbhbt", "dwmcbt", "ckmcbt", "jsrbt", "ywbz", "ytmc1", "bt_zt", "bt_ztdx", "bt_ztwz", "ywbzwz") VALUES ('进货退货单', '宋体', '18', '是', '否', '否', '', '居中', '宋体', '10', '否', '否', '否', '20', '20', '20', '20', '是', '否', '宋体', '居中', '10', '宋体', '左', '9', '是', '左', '是', '右', '是', '居中', '是', '右', '否', '20', '黑色', '', '左', '', '左', '是', '是', '是', '是', '左', '左', '左', '宋体', '9', '右', '单据编号', '单位名称', '仓库名称', '经手人', '', '进货退货单', '宋体', '9', '居中', '左');
INSERT INTO "打印设置表" ("ytmc", "ytzt", "ytztdx", "ytjc", "ytshx", "ytxt", "ywmc", "ywwz", "ywzt", "ywztdx", "ywjc", "ywshx", "ywxt", "jsb", "jzb", "jyb", "jxb", "btybj", "zbybj", "btzt", "btwz", "btztdx", "brzt", "brwz", "brztdx", "dygs", "gswz", "dyyh", "yhwz", "dyym", "ymwz", "dyrq", "rqwz", "btjc", "myhs", "bkys", "yjbz2", "yjbz2wz", "yjbz3", "yjbz3wz", "checkdjbh", "checkdwmc", "checkckmc", "checkjsr", "djbhwz", "dwmcwz", "ckmcwz", "zhsjzt", "zhsjztdx", "jsrwz", "djbhbt", "dwmcbt", "ckmcbt", "jsrbt", "ywbz", "ytmc1", "bt_zt", "bt_ztdx", "bt_ztwz", "ywbzwz") VALUES ('销售单', '宋体', '18', '是', '否', '否', '', '居中', '宋体', '10', '否', '否', '否', '20', '20', '20', '20', '是', '否', '宋体', '居中', '10', '宋体', '左', '9', '是', '左', '是', '右', '是', '居中', '是', '右', '否', '20', '黑色', '', '左', '', '左', '是', '是', '是', '是', '左', '左', '左', '宋体', '9', '右', '单据编号', '单位名称', '仓库名称', '经手人', '', '销售单', '宋体', '9', '居中', '左');
INSERT INTO "打印设置表" ("ytmc", "ytzt", "ytztdx", "ytjc", "ytshx", "ytxt", "ywmc", "ywwz", "ywzt", "ywztdx", "ywjc", "ywshx", "ywxt", "jsb", "jzb", "jyb", "jxb", "btybj", "zbybj", "btzt", "btwz", "btztdx", "brzt", "brwz", "brztdx", "dygs", "gswz", "dyyh", "yhwz", "dyym", "ymwz", "dyrq", "rqwz", "btjc", "myhs", "bkys", "yjbz2", "yjbz2wz", "yjbz3", "yjbz3wz", "checkdjbh", "checkdwmc", "checkckmc", "checkjsr", "djbhwz", "dwmcwz", "ckmcwz", "zhsjzt", "zhsjztdx", "jsrwz", "djbhbt", "dwmcbt", "ckmcbt", "jsrbt", "ywbz", "ytmc1", "bt_zt", "bt_ztdx", "bt_ztwz", "ywbzwz") VALUES ('销售退货单', '宋体', '18', '是', '否', '否', '', '居中', '宋体', '10', '否', '否', '否', '20', '20', '20', '20', '是', '否', '宋体', '居中', '10', '宋体', '左', '9', '是', '左', '是', '右', '是', '居中', '是', '右', '否', '20', '黑色', '', '左', '', '左', '是', '是', '是', '是', '左', '左', '左', '宋体', '9', '右', '单据编号', '单位名称', '仓库名称', '经手人', '', '销售退货单', '宋体', '9', '居中', '左');
INSERT INTO "打印设置表" ("ytmc", "ytzt", "ytztdx", "ytjc", "ytshx", "ytxt", "ywmc", "ywwz", "ywzt", "ywztdx", "ywjc", "ywshx", "ywxt", "jsb", "jzb", "jyb", "jxb", "btybj", "zbybj", "btzt", "btwz", "btztdx", "brzt", "brwz", "brztdx", "dygs", "gswz", "dyyh", "yhwz", "dyym", "ymwz", "dyrq", "rqwz", "btjc", "myhs", "bkys", "yjbz2", "yjbz2wz", "yjbz3", "yjbz3wz", "checkdjbh", "checkdwmc", "checkckmc", "checkjsr", "djbhwz", "dwmcwz", "ckmcwz", "zhsjzt", "zhsjztdx", "jsrwz", "djbhbt", "dwmcbt", "ckmcbt", "jsrbt", "ywbz", "ytmc1", "bt_zt", "bt_ztdx", "bt_ztwz", "ywbzwz") VALUES ('库存调拨单', '宋体', '18', '是', '否', '否', '', '居中', '宋体', '10', '否', '否', '否', '20', '20', '20', '20', '是', '否', '宋体', '居中', '10', '宋体', '左', '9', '是', '左', '是', '右', '是', '居中', '是', '右', '否', '20', '黑色', '', '左', '', '左', '是', '是', '是', '是', '左', '左', '左', '宋体', '9', '右', '单据编号', '单位名称', '仓库名称', '经手人', '', '库存调拨单', '宋体', '9', '居中', '左');
INSERT INTO "打印设置表" ("ytmc", "ytzt", "ytztdx", "ytjc", "ytshx", "ytxt", "ywmc", "ywwz", "ywzt", "ywztdx", "ywjc", "ywshx", "ywxt", "jsb", "jzb", "jyb", "jxb", "btybj", "zbybj", "btzt", "btwz", "btztdx", "brzt", "brwz", "brztdx", "dygs", "gswz", "dyyh", "yhwz", "dyym", "ymwz", "dyrq", "rqwz", "btjc", "myhs", "bkys", "yjbz2", "yjbz2wz", "yjbz3", "yjbz3wz", "checkdjbh", "checkdwmc", "checkckmc", "checkjsr", "djbhwz", "dwmcwz", "ckmcwz", "zhsjzt", "zhsjztdx", "jsrwz", "djbhbt", "dwmcbt", "ckmcbt", "jsrbt", "ywbz", "ytmc1", "bt_zt", "bt_ztdx", "bt_ztwz", "ywbzwz") VALUES ('库存盘点单', '宋体', '18', '是', '否', '否', '', '居中', '宋体', '10', '否', '否', '否', '20', '20', '20', '20', '是', '否', '宋体', '居中', '10', '宋体', '左', '9', '是', '左', '是', '右', '是', '居中', '是', '右', '否', '20', '黑色', '', '左', '', '左', '是', '是', '是', '是', '左', '左', '左', '宋体', '9', '右', '单据编号', '单位名称', '仓库名称', '经手人', '', '库存盘点单', '宋体', '9', '居中', '左');

-- Per-layout print switches and sizes.
CREATE TABLE "打印设置表1" ("model" TEXT COLLATE NOCASE, "ytmc" TEXT COLLATE NOCASE, "1" TEXT COLLATE NOCASE, "2" TEXT COLLATE NOCASE, "3" TEXT COLLATE NOCASE, "4" TEXT COLLATE NOCASE, "5" TEXT COLLATE NOCASE, "6" TEXT COLLATE NOCASE, "7" TEXT COLLATE NOCASE, "8" TEXT COLLATE NOCASE, "9" TEXT COLLATE NOCASE, "10" TEXT COLLATE NOCASE, "11" TEXT COLLATE NOCASE, "12" TEXT COLLATE NOCASE, "13" TEXT COLLATE NOCASE, "14" TEXT COLLATE NOCASE, "15" TEXT COLLATE NOCASE, "16" TEXT COLLATE NOCASE, "17" TEXT COLLATE NOCASE, "18" TEXT COLLATE NOCASE, "19" TEXT COLLATE NOCASE, "20" TEXT COLLATE NOCASE, "21" TEXT COLLATE NOCASE, "22" TEXT COLLATE NOCASE, "23" TEXT COLLATE NOCASE, "24" TEXT COLLATE NOCASE, "25" TEXT COLLATE NOCASE, "26" TEXT COLLATE NOCASE, "27" TEXT COLLATE NOCASE, "28" TEXT COLLATE NOCASE);
INSERT INTO "打印设置表1" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28") VALUES ('jhd', '进货单', '是', '是', '是', '是', '是', '是', '是', '否', '20', '20', '20', '20', '9', '9', '宋体', '宋体', '是', '否', '否', '否', 'A4', '纵向', '1', '0', '0', '0', '', '');
INSERT INTO "打印设置表1" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28") VALUES ('jhth', '进货退货单', '是', '是', '是', '是', '是', '是', '是', '否', '20', '20', '20', '20', '9', '9', '宋体', '宋体', '是', '否', '否', '否', 'A4', '纵向', '1', '0', '0', '0', '', '');
INSERT INTO "打印设置表1" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28") VALUES ('xsd', '销售单', '是', '是', '是', '是', '是', '是', '是', '否', '20', '20', '20', '20', '9', '9', '宋体', '宋体', '是', '否', '否', '否', 'A4', '纵向', '1', '0', '0', '0', '', '');
INSERT INTO "打印设置表1" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28") VALUES ('xsth', '销售退货单', '是', '是', '是', '是', '是', '是', '是', '否', '20', '20', '20', '20', '9', '9', '宋体', '宋体', '是', '否', '否', '否', 'A4', '纵向', '1', '0', '0', '0', '', '');
INSERT INTO "打印设置表1" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28") VALUES ('dbd', '库存调拨单', '是', '是', '是', '是', '是', '是', '是', '否', '20', '20', '20', '20', '9', '9', '宋体', '宋体', '是', '否', '否', '否', 'A4', '纵向', '1', '0', '0', '0', '', '');
INSERT INTO "打印设置表1" ("model", "ytmc", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28") VALUES ('pdd', '库存盘点单', '是', '是', '是', '是', '是', '是', '是', '否', '20', '20', '20', '20', '9', '9', '宋体', '宋体', '是', '否', '否', '否', 'A4', '纵向', '1', '0', '0', '0', '', '');

COMMIT;
