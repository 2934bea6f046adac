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

-- Manifests: clave holds "4", two blanks and the kind digit (0 INGRESO,
-- 1 EGRESO), the manifest number (6 characters), 6 further characters and
-- the date as yyyymmdd. archivado 0 marks an open manifest.
create table manifiestos (
  id integer not null primary key,
  clave varchar(40) not null,
  archivado integer not null default 0
);

-- The agent's customers; a consignee is found by its name.
create table IClientes (
  codigo integer not null primary key,
  nombre varchar(120) not null
);

create index IClientes_nombre on IClientes (nombre);

-- One row per waybill and manifest.
create table conocimientos (
  id {AUTO_ID},
  manifiesto integer not null,
  numero varchar(40) not null,
  master varchar(40),
  tipo varchar(10),
  nombrecons varchar(120),
  idconsignatario integer,
  embarcador varchar(120),
  notifyTo varchar(120),
  pago_carga varchar(20),
  estado integer,
  numerodna integer,
  embarque varchar(6),
  destino varchar(6),
  descarga varchar(6),
  PaisOrigenConsig integer,
  operacion varchar(2),
  unique (numero, manifiesto)
);

-- The cargo lines of a waybill row.
create table lineas (
  id {AUTO_ID},
  conocimiento integer not null,
  numero integer not null,
  tipobulto varchar(10),
  totalbulto {DOUBLE},
  pesobruto {DOUBLE},
  estado integer,
  operacion varchar(2),
  volumen numeric(14,3),
  descripcion varchar(255),
  unique (conocimiento, numero)
);
