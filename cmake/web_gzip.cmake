# cmake -DGZIP_FROM=FILE -DGZIP_TO=FILE.gz -P web_gzip.cmake: FILE gzipped at
# the highest level, written under a temporary name and then renamed, so an
# interrupted build leaves no half file behind.
file(ARCHIVE_CREATE OUTPUT ${GZIP_TO}.part PATHS ${GZIP_FROM} FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
file(RENAME ${GZIP_TO}.part ${GZIP_TO})
