// olmek-common
