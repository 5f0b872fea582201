var before = 1;
throw new Error("scene script failed");
