-- Tables of the agent's database that the program reads and writes, for
-- every engine it runs on. One statement per table, each ended by ";".
-- Unquoted names, so PostgreSQL folds them to lower case and every engine
-- finds them in any letter case. Dialect tokens, replaced per engine:
--   {AUTO_ID}   an integer key the database numbers itself
--   {DOUBLE}    a double-precision number
--   {DATETIME}  a date with time of day

-- The settings row (one row).
create table configuracion (
  lugar varchar(255),
  garante varchar(255),
  mail varchar(255),
  idedi varchar(255),
  CantCNTPorReg integer,
  MaxCNTPorCont integer,
  usar_firmador_externo integer,
  Id_firmador_externo integer,
  Addr_firmador_externo varchar(255),
  indicar_AA integer,
  liberado integer,
  agenteDeCarga integer,
  userdna varchar(20),
  passdna varchar(20),
  dirImport varchar(255),
  dirImportExpo varchar(255),
  impMostrarLineasEliminadas integer
);

-- The last online update number.
create table config01 (
  ult_online integer
);

-- Manifest associations; the program reads only the largest id.
create table asoc_manif (
  id integer not null primary key
);
