namespace NUBO {}
