// Reference data: goods, warehouses, locations, partners, employees and their categories.

#include "schema/table_parts.h"

namespace zt::schema {

using namespace columns;

std::vector<TableDefinition> masterDataTables() {
    return {
        {{"货品信息表"},
         Columns{
             intIdentity("ID"),    nvarchar("bm", 30, PrimaryKey),
             nvarchar("jm", 30),   nvarchar("qm", 50),
             nvarchar("xh", 50),   nvarchar("gg", 50),
             nvarchar("dw", 10),   money("dj"),
             money("rbdj"),        nvarchar("cshw", 30),
             nvarchar("sslb", 30), integer("jjsx"),
             integer("jjxx"),      nvarchar("bz", 255),
             nvarchar("py", 15),   money("zjjj"),
             money("zjsj"),        money("sj1"),
             money("sj2"),         money("sj3"),
             nvarchar("pz1", 50),  nvarchar("pz2", 50),
             nvarchar("pz3", 50),  nvarchar("pz4", 50),
             nvarchar("hh", 30),   nvarchar("jk", 10),
             nvarchar("txm", 50),
         }},
        {{"货品类别表"},
         Columns{
             intIdentity("ID"),
             nvarchar("hplb", 50),
             nvarchar("csy", 50),
             nvarchar("bs", 3),
         }},
        {{"计量单位信息表"},
         Columns{
             intIdentity("ID"),
             nvarchar("jldw", 10),
         }},
        {{"仓库信息表"},
         Columns{
             intIdentity("ID"),
             nvarchar("ckmc", 20, PrimaryKey),
             nvarchar("ckwz", 20),
             nvarchar("ckdz", 50),
             nvarchar("bz", 255),
         }},
        {{"货位信息表"},
         Columns{
             intIdentity("ID"),
             nvarchar("ckmc", 20),
             nvarchar("hwmc", 20),
             nvarchar("wzms", 100),
             nvarchar("bz", 255),
             nvarchar("bs", 30),
             integer("bh"),
             nvarchar("hwbh", 10),
         }},
        {{"往来单位信息表"},
         Columns{
             intIdentity("ID"),    nvarchar("dwjc", 20), integer("bh"),
             nvarchar("dwbh", 10), nvarchar("qc", 50),   nvarchar("nsr", 16),
             nvarchar("sj", 30),   nvarchar("tel", 30),  nvarchar("fax", 30),
             nvarchar("yb", 6),    nvarchar("dz", 100),  nvarchar("khyh", 30),
             nvarchar("yhzh", 30), nvarchar("rsh", 30),  nvarchar("email", 30),
             nvarchar("www", 30),  ntext("bz"),          nvarchar("bs", 3),
             nvarchar("sslb", 50), nvarchar("sfsy", 10),
         }},
        {{"客户类别表"},
         Columns{
             intIdentity("ID"),
             nvarchar("khlb", 50),
             nvarchar("csy", 50),
             nvarchar("bs", 3),
         }},
        {{"供应商类别表"},
         Columns{
             intIdentity("ID"),
             nvarchar("gyslb", 50),
             nvarchar("csy", 50),
             nvarchar("bs", 3),
         }},
        {{"员工信息表"},
         Columns{
             intIdentity("ID"),     nvarchar("ygmc", 8),    nvarchar("ygbh", 10),
             integer("bh"),         smalldatetime("csrq"),  nvarchar("xb", 2),
             nvarchar("xl", 10),    nvarchar("yglb", 20),   smalldatetime("lzrq"),
             nvarchar("sfzhm", 30), nvarchar("jg", 10),     nvarchar("sj", 20),
             nvarchar("jtzz", 100), nvarchar("yb", 6),      nvarchar("jtdh", 25),
             nvarchar("gzdh", 25),  nvarchar("email", 100), nvarchar("sfzz", 6),
             ntext("bz"),
         }},
        {{"员工类别表"},
         Columns{
             intIdentity("ID"),
             nvarchar("yglb", 20),
             nvarchar("bz", 255),
         }},
        {{"PZXM"},
         Columns{
             intIdentity("id"),
             nvarchar("pz1", 50),
             nvarchar("pz2", 50),
             nvarchar("pz3", 50),
             nvarchar("pz4", 50),
         }},
        {{"hpszxxb"},
         Columns{
             intIdentity("ID"),    nvarchar("bm", 12),   nvarchar("hh", 12),   nvarchar("jm", 12),
             nvarchar("txm", 12),  nvarchar("qm", 12),   nvarchar("xh", 12),   nvarchar("gg", 12),
             nvarchar("dw", 12),   nvarchar("dj", 12),   nvarchar("rbdj", 12), nvarchar("cshw", 12),
             nvarchar("sslb", 20), nvarchar("jjsx", 12), nvarchar("jjxx", 12), nvarchar("pz1", 12),
             nvarchar("pz2", 12),  nvarchar("pz3", 12),  nvarchar("pz4", 12),  nvarchar("jk", 12),
             nvarchar("bz", 12),   nvarchar("sj1", 10),  nvarchar("sj2", 10),  nvarchar("sj3", 10),
         }},
    };
}

} // namespace zt::schema
