-- The sample account set "澄桦3000商业例子帐": a small trading company, its warehouses, units,
-- goods with categories, partners, staff, and a few receipts and issues with their lines.
-- One statement a line; lines starting with "--" and empty lines are skipped. The build loads
-- it into a freshly created and seeded account set (whose one 系统信息表 row it fills in) and
-- backs that up as data/sample.bak.

UPDATE [系统信息表] SET [yhmc] = N'澄桦商贸有限公司', [ksmc] = N'澄桦商贸', [tel] = N'0571-8800 1234', [fax] = N'0571-8800 1235', [dz] = N'杭州市西湖区文三路 88 号', [yb] = N'310012', [qyrq] = '2024-01-01';

INSERT INTO [计量单位信息表] ([jldw]) VALUES (N'个');
INSERT INTO [计量单位信息表] ([jldw]) VALUES (N'箱');
INSERT INTO [计量单位信息表] ([jldw]) VALUES (N'瓶');
INSERT INTO [计量单位信息表] ([jldw]) VALUES (N'包');
INSERT INTO [计量单位信息表] ([jldw]) VALUES (N'台');

INSERT INTO [仓库信息表] ([ckmc], [ckwz], [ckdz], [bz]) VALUES (N'总仓', N'一号库', N'杭州市余杭区仓前街道 12 号', N'主仓库');
INSERT INTO [仓库信息表] ([ckmc], [ckwz], [ckdz], [bz]) VALUES (N'门市仓', N'店后', N'杭州市西湖区文三路 88 号', N'门市部存货');
INSERT INTO [仓库信息表] ([ckmc], [ckwz], [ckdz], [bz]) VALUES (N'退货仓', N'二号库', N'杭州市余杭区仓前街道 12 号', N'待处理退货');

INSERT INTO [货位信息表] ([ckmc], [hwmc], [wzms], [bh], [hwbh]) VALUES (N'总仓', N'A01', N'一层东侧货架', 1, N'A01');
INSERT INTO [货位信息表] ([ckmc], [hwmc], [wzms], [bh], [hwbh]) VALUES (N'总仓', N'A02', N'一层西侧货架', 2, N'A02');
INSERT INTO [货位信息表] ([ckmc], [hwmc], [wzms], [bh], [hwbh]) VALUES (N'门市仓', N'M01', N'柜台后货架', 3, N'M01');

INSERT INTO [货品类别表] ([hplb], [csy], [bs]) VALUES (N'饮料', N'', N'1');
INSERT INTO [货品类别表] ([hplb], [csy], [bs]) VALUES (N'食品', N'', N'1');
INSERT INTO [货品类别表] ([hplb], [csy], [bs]) VALUES (N'日用品', N'', N'1');
INSERT INTO [货品类别表] ([hplb], [csy], [bs]) VALUES (N'小家电', N'', N'1');

INSERT INTO [货品信息表] ([bm], [jm], [qm], [xh], [gg], [dw], [dj], [rbdj], [cshw], [sslb], [jjsx], [jjxx], [py], [zjjj], [zjsj], [hh], [txm]) VALUES (N'YL001', N'LC', N'绿茶饮料', N'', N'500ml×24', N'箱', 48.00, 45.00, N'A01', N'饮料', 200, 20, N'LCYL', 38.00, 48.00, N'YL001', N'6900000000011');
INSERT INTO [货品信息表] ([bm], [jm], [qm], [xh], [gg], [dw], [dj], [rbdj], [cshw], [sslb], [jjsx], [jjxx], [py], [zjjj], [zjsj], [hh], [txm]) VALUES (N'YL002', N'KQS', N'矿泉水', N'', N'550ml×24', N'箱', 30.00, 28.00, N'A01', N'饮料', 300, 30, N'KQS', 22.00, 30.00, N'YL002', N'6900000000028');
INSERT INTO [货品信息表] ([bm], [jm], [qm], [xh], [gg], [dw], [dj], [rbdj], [cshw], [sslb], [jjsx], [jjxx], [py], [zjjj], [zjsj], [hh], [txm]) VALUES (N'SP001', N'SQB', N'苏打饼干', N'', N'400g', N'包', 9.50, 8.80, N'A02', N'食品', 500, 50, N'SDBG', 6.20, 9.50, N'SP001', N'6900000000035');
INSERT INTO [货品信息表] ([bm], [jm], [qm], [xh], [gg], [dw], [dj], [rbdj], [cshw], [sslb], [jjsx], [jjxx], [py], [zjjj], [zjsj], [hh], [txm]) VALUES (N'RY001', N'XYF', N'洗衣粉', N'', N'2kg', N'包', 25.00, 23.00, N'A02', N'日用品', 150, 15, N'XYF', 17.50, 25.00, N'RY001', N'6900000000042');
INSERT INTO [货品信息表] ([bm], [jm], [qm], [xh], [gg], [dw], [dj], [rbdj], [cshw], [sslb], [jjsx], [jjxx], [py], [zjjj], [zjsj], [hh], [txm]) VALUES (N'JD001', N'DRH', N'电热水壶', N'KT-15', N'1.5L', N'台', 129.00, 119.00, N'M01', N'小家电', 40, 5, N'DRSH', 86.00, 129.00, N'JD001', N'6900000000059');

INSERT INTO [供应商类别表] ([gyslb], [csy], [bs]) VALUES (N'饮料厂商', N'', N'1');
INSERT INTO [供应商类别表] ([gyslb], [csy], [bs]) VALUES (N'批发商', N'', N'1');
INSERT INTO [客户类别表] ([khlb], [csy], [bs]) VALUES (N'零售店', N'', N'1');
INSERT INTO [客户类别表] ([khlb], [csy], [bs]) VALUES (N'单位客户', N'', N'1');

INSERT INTO [往来单位信息表] ([dwjc], [bh], [dwbh], [qc], [tel], [dz], [yb], [khyh], [yhzh], [bs], [sslb], [sfsy]) VALUES (N'清泉饮品', 1, N'G001', N'清泉饮品有限公司', N'0571-8611 0001', N'杭州市萧山区建设路 5 号', N'311200', N'工商银行萧山支行', N'1202000000000001', N'供', N'饮料厂商', N'是');
INSERT INTO [往来单位信息表] ([dwjc], [bh], [dwbh], [qc], [tel], [dz], [yb], [khyh], [yhzh], [bs], [sslb], [sfsy]) VALUES (N'万家批发', 2, N'G002', N'万家日用品批发部', N'0571-8622 0002', N'杭州市拱墅区湖墅南路 20 号', N'310005', N'农业银行拱墅支行', N'1902000000000002', N'供', N'批发商', N'是');
INSERT INTO [往来单位信息表] ([dwjc], [bh], [dwbh], [qc], [tel], [dz], [yb], [khyh], [yhzh], [bs], [sslb], [sfsy]) VALUES (N'便民超市', 3, N'K001', N'便民连锁超市文一店', N'0571-8633 0003', N'杭州市西湖区文一路 66 号', N'310013', N'建设银行西湖支行', N'3305000000000003', N'客', N'零售店', N'是');
INSERT INTO [往来单位信息表] ([dwjc], [bh], [dwbh], [qc], [tel], [dz], [yb], [khyh], [yhzh], [bs], [sslb], [sfsy]) VALUES (N'启明学校', 4, N'K002', N'启明实验学校后勤处', N'0571-8644 0004', N'杭州市滨江区江南大道 9 号', N'310051', N'中国银行滨江支行', N'3560000000000004', N'客', N'单位客户', N'是');

INSERT INTO [员工类别表] ([yglb], [bz]) VALUES (N'业务员', N'');
INSERT INTO [员工类别表] ([yglb], [bz]) VALUES (N'仓管员', N'');
INSERT INTO [员工信息表] ([ygmc], [ygbh], [bh], [csrq], [xb], [xl], [yglb], [sj], [sfzz]) VALUES (N'王晓明', N'Y001', 1, '1988-05-12', N'男', N'大专', N'业务员', N'13800000001', N'在职');
INSERT INTO [员工信息表] ([ygmc], [ygbh], [bh], [csrq], [xb], [xl], [yglb], [sj], [sfzz]) VALUES (N'李芳', N'Y002', 2, '1992-09-03', N'女', N'本科', N'业务员', N'13800000002', N'在职');
INSERT INTO [员工信息表] ([ygmc], [ygbh], [bh], [csrq], [xb], [xl], [yglb], [sj], [sfzz]) VALUES (N'赵强', N'Y003', 3, '1985-11-20', N'男', N'高中', N'仓管员', N'13800000003', N'在职');

INSERT INTO [入库信息表] ([djbh], [bh], [rdrq], [dwjc], [jsr], [ckmc], [zy], [czy], [hjsl], [hjje], [yhje], [shbz], [djlx], [fkje]) VALUES (N'JH20240105001', 1, '2024-01-05', N'清泉饮品', N'王晓明', N'总仓', N'年初备货', N'超级管理员', 150, 4580.00, 0, N'已审核', N'进货单', 4580.00);
INSERT INTO [入库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [jhdj], [je], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'JH20240105001', '2024-01-05', N'清泉饮品', N'王晓明', N'总仓', N'YL001', N'LC', N'500ml×24', N'箱', 80, 38.00, 3040.00, N'A01', N'超级管理员', N'进货单', N'已审核', 1, N'绿茶饮料', N'YL001');
INSERT INTO [入库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [jhdj], [je], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'JH20240105001', '2024-01-05', N'清泉饮品', N'王晓明', N'总仓', N'YL002', N'KQS', N'550ml×24', N'箱', 70, 22.00, 1540.00, N'A01', N'超级管理员', N'进货单', N'已审核', 1, N'矿泉水', N'YL002');
INSERT INTO [入库信息表] ([djbh], [bh], [rdrq], [dwjc], [jsr], [ckmc], [zy], [czy], [hjsl], [hjje], [yhje], [shbz], [djlx], [fkje]) VALUES (N'JH20240108001', 2, '2024-01-08', N'万家批发', N'李芳', N'总仓', N'日用品补货', N'超级管理员', 120, 1495.00, 0, N'已审核', N'进货单', 1000.00);
INSERT INTO [入库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [jhdj], [je], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'JH20240108001', '2024-01-08', N'万家批发', N'李芳', N'总仓', N'SP001', N'SQB', N'400g', N'包', 100, 6.20, 620.00, N'A02', N'超级管理员', N'进货单', N'已审核', 1, N'苏打饼干', N'SP001');
INSERT INTO [入库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [jhdj], [je], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'JH20240108001', '2024-01-08', N'万家批发', N'李芳', N'总仓', N'RY001', N'XYF', N'2kg', N'包', 50, 17.50, 875.00, N'A02', N'超级管理员', N'进货单', N'已审核', 1, N'洗衣粉', N'RY001');

INSERT INTO [出库信息表] ([djbh], [bh], [rdrq], [dwjc], [jsr], [ckmc], [zy], [czy], [hjsl], [hjje], [yhje], [shbz], [djlx], [skje]) VALUES (N'XS20240110001', 1, '2024-01-10', N'便民超市', N'王晓明', N'总仓', N'超市订货', N'超级管理员', 50, 1980.00, 0, N'已审核', N'销售单', 1980.00);
INSERT INTO [出库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [chdj], [je], [cbje], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'XS20240110001', '2024-01-10', N'便民超市', N'王晓明', N'总仓', N'YL001', N'LC', N'500ml×24', N'箱', 30, 48.00, 1440.00, 1140.00, N'A01', N'超级管理员', N'销售单', N'已审核', 1, N'绿茶饮料', N'YL001');
INSERT INTO [出库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [chdj], [je], [cbje], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'XS20240110001', '2024-01-10', N'便民超市', N'王晓明', N'总仓', N'YL002', N'KQS', N'550ml×24', N'箱', 20, 27.00, 540.00, 440.00, N'A01', N'超级管理员', N'销售单', N'已审核', 1, N'矿泉水', N'YL002');
INSERT INTO [出库信息表] ([djbh], [bh], [rdrq], [dwjc], [jsr], [ckmc], [zy], [czy], [hjsl], [hjje], [yhje], [shbz], [djlx], [skje]) VALUES (N'XS20240112001', 2, '2024-01-12', N'启明学校', N'李芳', N'总仓', N'学校后勤采购', N'超级管理员', 40, 550.00, 10.00, N'已审核', N'销售单', 0);
INSERT INTO [出库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [chdj], [je], [cbje], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'XS20240112001', '2024-01-12', N'启明学校', N'李芳', N'总仓', N'SP001', N'SQB', N'400g', N'包', 20, 9.50, 190.00, 124.00, N'A02', N'超级管理员', N'销售单', N'已审核', 1, N'苏打饼干', N'SP001');
INSERT INTO [出库信息详表] ([djbh], [rdrq], [dwjc], [jsr], [ckmc], [bm], [jm], [gg], [dw], [sl], [chdj], [je], [cbje], [hw], [czy], [djlx], [shbz], [zk], [qm], [hh]) VALUES (N'XS20240112001', '2024-01-12', N'启明学校', N'李芳', N'总仓', N'RY001', N'XYF', N'2kg', N'包', 20, 18.00, 360.00, 350.00, N'A02', N'超级管理员', N'销售单', N'已审核', 1, N'洗衣粉', N'RY001');
